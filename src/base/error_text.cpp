#include "base/error_text.h"

#include <cerrno>
#include <cstring>

namespace velsend::base {
namespace {

const char* ChineseReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "没有权限";
        case ENOSPC:
            return "磁盘空间不足";
#ifdef EDQUOT
        case EDQUOT:
            return "超出磁盘配额";
#endif
        case EIO:
            return "读写错误（磁盘或设备故障）";
        case ENOENT:
            return "文件或文件夹不存在";
        case EEXIST:
            return "文件已存在";
        case EROFS:
            return "磁盘是只读的";
        case EBUSY:
            return "文件或设备正被占用";
        case ENOTDIR:
            return "路径中有一项不是文件夹";
        case EISDIR:
            return "这是一个文件夹";
        case EMFILE:
        case ENFILE:
            return "打开的文件过多";
        case ENOMEM:
            return "内存不足";
        case ENAMETOOLONG:
            return "文件名过长";
        case EFBIG:
            return "文件过大";
        case ENODEV:
        case ENXIO:
            return "设备不存在或已拔出";
        default:
            return nullptr;
    }
}

}  // namespace

std::string SystemReason(int error) {
    const std::string system = std::strerror(error);
    const char* chinese = ChineseReason(error);
    return chinese ? std::string(chinese) + "（" + system + "）" : system;
}

}  // namespace velsend::base
