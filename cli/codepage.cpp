#include "cli/codepage.h"

#include <iconv.h>
#include <string.h>

namespace {

bool convert(const char* from, const char* to, const char* in, size_t inLength, char* out,
             size_t outSize) {
    if (outSize == 0) {
        return false;
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        out[0] = '\0';
        return false;
    }
    char* inPtr = const_cast<char*>(in);
    size_t inLeft = inLength;
    char* outPtr = out;
    size_t outLeft = outSize - 1;
    size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) {
        out[0] = '\0';
        return false;
    }
    *outPtr = '\0';
    return true;
}

}  // namespace

bool utf8ToCp1251(const char* in, char* out, size_t outSize) {
    return convert("UTF-8", "CP1251", in, strlen(in), out, outSize);
}

bool cp1251ToUtf8(const char* in, size_t inLength, char* out, size_t outSize) {
    return convert("CP1251", "UTF-8", in, inLength, out, outSize);
}
