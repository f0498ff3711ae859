# Registers the Wine test groups (win, e2e) and the bench fixtures with ctest.
