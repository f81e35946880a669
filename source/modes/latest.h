// latest.h - the latest-screenshot mode, the default.
//
// Reads the newest PNG of the working directory (the first listed of equal
// times), prints "51.6% from NAME" and puts 51.6% on the clipboard; when the
// reading fails, prints why and empties the clipboard. With no PNG at all it
// prints "Error: Could not find any PNG file." and, on standard error, the
// folder it looked in, and leaves the clipboard alone. Pictures of the folder
// that are not PNG are told on standard error after the listing, and a weak
// match after its reading (messages.h).
#pragma once

void run_latest();

// The same for one named screenshot instead of the newest (a PNG named on
// the command line): "51.6% from NAME" with the name as given.
void run_latest_named(const char* path);
