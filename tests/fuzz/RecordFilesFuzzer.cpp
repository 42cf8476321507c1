#include "ExerciseRecordFiles.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    FailOnBrokenPromise(ExerciseRecordFiles(FuzzInput(data, size), FuzzFolder()));
    return 0;
}
