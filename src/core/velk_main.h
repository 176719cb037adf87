#pragma once
// Process entry, engine start-up, frame and shutdown.

int AppMain(int argc, char** argv);
