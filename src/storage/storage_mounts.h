#pragma once
// The containers engine start-up mounts, each at the back of the list, in this order.

// The portable directory (created, writable) or the writable folder under the user data folder.
bool MountWritableStorage();
// The language's directory, or the English one when it is missing and the language is not "en".
void MountLanguageStorage();
// custom_data_sources when set; else "data", the language pack, "data.pck", "data_3.pak" to
// "data_1.pak" and "data.pak".
void MountDataStorage();
