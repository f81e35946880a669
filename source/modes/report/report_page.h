// report_page.h - report.html, the page of the report mode.
//
// One self-contained page (inline CSS and SVG, pictures as data: URIs, no
// script, nothing fetched) with the summary figures, a histogram of the
// damage, the damage by file time and a table of every PNG with its reading
// or message, layout, match score and a picture of its gauge. A weak match
// (gauge.h's match_doubt) is marked "weak match" beside its damage, and the
// summary counts them.
//
//     write_report_page(file, report);   // report as report_collect.h left it
#pragma once

#include "modes/report/report_data.h"

#include <cstdio>

void write_report_page(FILE* file, const Report& report);
