#include "ExerciseCp932Codec.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    FailOnBrokenPromise(ExerciseCp932Codec(FuzzInput(data, size)));
    return 0;
}
