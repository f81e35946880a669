# Gives the discovered cases their labels and locks, by name. ctest reads
# this after the lists that gtest_discover_tests wrote (tests/CMakeLists.txt
# adds it to TEST_INCLUDE_FILES last and sets the HG_* patterns before it);
# those lists hold the names, Suite.Case (Prefix/Suite.Case/N for a table).
#
# Labels:
#   unit     a case of unit_tests, figures_tests, fast_decode_tests or
#            thread_tests (the ThreadSanitizer build's)
#   e2e      a case of end_to_end_tests: it runs the program
#            (HEALTHGAUGE_PROGRAM, the build's own by default)
#   browser  a case of browser_tests
#   threads  a case that starts threads: a unit case named in
#            HG_THREAD_UNIT_CASES, an end-to-end case not named in
#            HG_ONE_READING_CASES; ThreadSanitizer runs these
#
# The cases of the suites in HG_DISPLAY_CASES use the X display of
# HEALTHGAUGE_TEST_DISPLAY and its clipboard, one at a time (RESOURCE_LOCK
# clipboard). Every other end-to-end case runs in parallel without
# HEALTHGAUGE_TEST_DISPLAY: one that reaches for the display finds none and
# fails under HEALTHGAUGE_REQUIRE_CLIPBOARD instead of racing the others.
#
# The cases of HG_SLOW_CASES start first (COST), before ctest has timed any.
#
# The cases of HG_RECORDING_CLIP_CASES read the clips that the tests
# recording_clip_* encode (FIXTURES_REQUIRED recording_clips).
#
# A pattern of HG_THREAD_UNIT_CASES that matches no case of the build (a case
# renamed or moved) becomes a failing case, threads_label_matches_nothing,
# so no threaded case drops out of the ThreadSanitizer run unnoticed.

function(hg_matches_any name patterns result)
  foreach(pattern IN LISTS patterns)
    if(name MATCHES "${pattern}")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${result} FALSE PARENT_SCOPE)
endfunction()

set(hg_discovered FALSE)
set(hg_matched "")
foreach(hg_target unit_tests figures_tests fast_decode_tests thread_tests)
  foreach(hg_test IN LISTS ${hg_target}_TESTS)
    set(hg_discovered TRUE)
    set(hg_labels unit)
    foreach(hg_pattern IN LISTS HG_THREAD_UNIT_CASES)
      if(hg_test MATCHES "${hg_pattern}")
        set(hg_labels unit threads)
        list(APPEND hg_matched "${hg_pattern}")
      endif()
    endforeach()
    set_tests_properties("${hg_test}" PROPERTIES LABELS "${hg_labels}")
  endforeach()
endforeach()

if(hg_discovered)
  set(hg_unmatched "")
  foreach(hg_pattern IN LISTS HG_THREAD_UNIT_CASES)
    list(FIND hg_matched "${hg_pattern}" hg_at)
    if(hg_at EQUAL -1)
      list(APPEND hg_unmatched "${hg_pattern}")
    endif()
  endforeach()
  if(hg_unmatched)
    list(JOIN hg_unmatched " " hg_unmatched)
    add_test(threads_label_matches_nothing /bin/sh -c
      "echo 'tests/CMakeLists.txt: THREAD_UNIT_CASES names no case of this build: ${hg_unmatched}'; exit 1")
    set_tests_properties(threads_label_matches_nothing PROPERTIES LABELS "unit;threads")
  endif()
endif()

# A sanitizer's report that reaches the case's output fails the case, beside
# the exit status that the sanitizer options give the program.
set(hg_sanitizer_reports "ERROR: AddressSanitizer" "ERROR: LeakSanitizer"
  ": runtime error: " "WARNING: ThreadSanitizer")

foreach(hg_test IN LISTS end_to_end_tests_TESTS)
  set_tests_properties("${hg_test}" PROPERTIES FAIL_REGULAR_EXPRESSION "${hg_sanitizer_reports}")
  hg_matches_any("${hg_test}" "${HG_ONE_READING_CASES}" hg_one_reading)
  if(hg_one_reading)
    set(hg_labels e2e)
  else()
    set(hg_labels e2e threads)
  endif()
  hg_matches_any("${hg_test}" "${HG_DISPLAY_CASES}" hg_display)
  if(hg_display)
    set_tests_properties("${hg_test}" PROPERTIES LABELS "${hg_labels}" RESOURCE_LOCK clipboard)
  else()
    set_tests_properties("${hg_test}" PROPERTIES LABELS "${hg_labels}"
      ENVIRONMENT_MODIFICATION "HEALTHGAUGE_TEST_DISPLAY=unset:")
  endif()
endforeach()

# The cases that read the encoded clips need them made first.
foreach(hg_test IN LISTS unit_tests_TESTS)
  hg_matches_any("${hg_test}" "${HG_RECORDING_CLIP_CASES}" hg_clips)
  if(hg_clips)
    set_tests_properties("${hg_test}" PROPERTIES FIXTURES_REQUIRED recording_clips)
  endif()
endforeach()

foreach(hg_test IN LISTS browser_tests_TESTS)
  set_tests_properties("${hg_test}" PROPERTIES LABELS browser)
endforeach()

foreach(hg_target unit_tests figures_tests fast_decode_tests thread_tests end_to_end_tests)
  foreach(hg_test IN LISTS ${hg_target}_TESTS)
    hg_matches_any("${hg_test}" "${HG_SLOW_CASES}" hg_slow)
    if(hg_slow)
      set_tests_properties("${hg_test}" PROPERTIES COST 1000)
    endif()
  endforeach()
endforeach()
