#!/usr/bin/env bash
# Line coverage of the product's sources by the tests: builds with gcc --coverage (preset
# coverage), runs every test but the virtual machine's, and reports with gcovr, the summary here
# and every file's lines in build/coverage/coverage.html. Tests, test helpers, fuzz targets,
# benchmarks and the sample forms are not counted.
#   scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j2
# What an earlier run counted would be added to this one's.
find build/coverage -name '*.gcda' -delete
ctest --preset coverage -j2 -E vm
# log/line_ends_impl.h is left out: it is compiled twice, for two instruction sets, and gcovr 5
# stops at functions of one name found on different lines.
gcovr --root . --object-directory build/coverage -j 2 \
  --exclude-directories 'build/coverage/CMakeFiles/[0-9.]+$' \
  --filter '(app|base|controls|dialup|log|metering|platform|settings|toolkit|tools|windows)/' \
  --exclude '.*_test\.cpp$' --exclude 'log/line_ends_impl\.h' \
  --html-details build/coverage/coverage.html --print-summary
