# Sourced by the test scripts: points TMPDIR at a fresh folder in memory (/dev/shm) where there is
# one with room to spare (2 GiB; a container's is often far smaller). The tests make thousands of
# throwaway program folders and the program flushes every record it keeps, which on a disk waits for
# the disk each time; what they prove does not depend on the disk (the crash sweeps cut power in
# their own way, the small-disk test mounts its own). The caller removes "$memory_scratch" when it
# ends; it is empty when the disk is used.
memory_scratch=""
memory_free_kib=$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')
if [ "${memory_free_kib:-0}" -ge 2097152 ] && [ -w /dev/shm ] \
  && memory_scratch=$(mktemp -d /dev/shm/nemuroa-tests.XXXXXX 2>/dev/null); then
  export TMPDIR=$memory_scratch
else
  memory_scratch=""
fi
