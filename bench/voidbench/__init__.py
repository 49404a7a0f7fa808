"""The parts of `make bench`: the bench itself (core), its trees, the sections of its
report (walks, window, latency) and the run that ties them together (main)."""
