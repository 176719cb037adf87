#pragma once
// The shared collision masks: one per image name, with a reference count. Whatever is
// still held when the engine shuts down is reported in the log and freed. Main thread
// only.
//
// CollisionMask_Load              the mask of an image name, one reference more
// CollisionMask_Release           one reference fewer; true when the mask went away
// ReportUnreleasedCollisionMasks  logs and frees every mask still held
// CollisionMaskCount              how many masks are held
#include <cstddef>
#include <string>

struct CollisionMask;

// The name gets ".png" when it has no extension; a name loaded again returns the mask
// built the first time, whatever the channel. A missing or undecodable image is fatal.
CollisionMask* CollisionMask_Load(const std::string& name, int channel);
// Refused (false, nothing changes) for a mask the registry does not hold, such as one
// already freed: the pointer is not read then.
bool CollisionMask_Release(CollisionMask* mask);
void ReportUnreleasedCollisionMasks();
std::size_t CollisionMaskCount();
