#include "ExercisePop3Session.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    FailOnBrokenPromise(ExercisePop3Session(FuzzInput(data, size)));
    return 0;
}
