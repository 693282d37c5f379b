#include "base/platform/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace velsend::platform {
namespace {

// One converter per direction and thread, reset before each use: a workbook
// has hundreds of thousands of cells, and opening a converter per text costs
// more than converting it.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

  private:
    iconv_t cd_;
};

CodecStep Step(Converter& converter, std::string_view in, std::string& out) {
    CodecStep step;
    if (!converter.ok()) {
        step.unavailable = true;
        return step;
    }
    iconv_t cd = converter.get();
    char* src = const_cast<char*>(in.data());  // iconv does not write through it
    std::size_t srcLeft = in.size();
    char buffer[512];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        const int error = errno;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1) || error == E2BIG) continue;
        step.bad = true;  // EILSEQ, or EINVAL for a character cut short
        break;
    }
    step.consumed = in.size() - srcLeft;
    return step;
}

}  // namespace

CodecStep Utf8ToGbkStep(std::string_view in, std::string& out) {
    thread_local Converter c("GBK", "UTF-8");
    return Step(c, in, out);
}

CodecStep GbkToUtf8Step(std::string_view in, std::string& out) {
    thread_local Converter c("UTF-8", "GBK");
    return Step(c, in, out);
}

}  // namespace velsend::platform
