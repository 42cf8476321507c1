# Sourced by the test scripts: points TMPDIR at a fresh folder in memory (/dev/shm) where there is
# one. The tests make thousands of throwaway program folders and the program flushes every record
# it keeps, which on a disk waits for the disk each time; what they prove does not depend on the
# disk (the crash sweeps cut power in their own way, the small-disk test mounts its own). The
# caller removes "$memory_scratch" when it ends; it is empty when the disk is used.
memory_scratch=""
if [ -d /dev/shm ] && [ -w /dev/shm ] && memory_scratch=$(mktemp -d /dev/shm/nemuroa-tests.XXXXXX 2>/dev/null); then
  export TMPDIR=$memory_scratch
else
  memory_scratch=""
fi
