// compare.h - the compare mode: did setup B do more damage than setup A?
//
//     healthgauge -compare A B    (also -c)
//
// Lists and reads the folders A and B exactly as a scan reads its folder
// (scan.h: top level only, every core, each failing screenshot's message),
// writes nothing into either, then prints the table of the two and one
// sentence, and without a clear difference the power line (compare_figures.h) and writes compare.html to the run folder
// (compare_page.h) through the atomic output file: "Saved compare.html" or
// "Error: Failed to write compare.html.". The folders are named as typed.
//
// Errors, one line each, and then nothing more is done:
//   Error: -compare needs two folders: healthgauge -compare FOLDER_A FOLDER_B
//   Error: Cannot read the folder A.     (with the reason on standard error;
//                                         neither folder is read)
//   Error: No screenshot could be read in A.
#pragma once

// A or B may also name a recording (recordings.h): its hits are read in
// place of a folder's screenshots ("Error: No hit could be read in A." when
// it gives none).
//
// folder_a and folder_b as the player typed them, relative to the working
// folder; null when missing. compare.html goes into run_folder ("" for the
// working folder).
void run_compare(const char* folder_a, const char* folder_b, const char* run_folder);
