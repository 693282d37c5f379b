#include "base/controller_model.h"
#include "logic/logic_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/file_write.h"
#include "store/gbk.h"

namespace velsend::logic {
namespace {

// Writes all of `bytes` at `offset`; false on any failure.
bool WriteAllAt(int fd, const std::uint8_t* bytes, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

int LogicCapacity(int controllerModel) {
    return base::Traits(controllerModel).logicCapacity;
}

int LogicTextLimit(int controllerModel) {
    return base::Traits(controllerModel).logicTextLimit;
}

DeviceLogicRecord MakeDeviceLogicRecord(std::string_view text) {
    DeviceLogicRecord record{};
    const std::vector<std::uint8_t> field = store::MakeField(text, kDeviceLogicRecordSize);
    std::copy(field.begin(), field.end(), record.begin());
    return record;
}

std::string ReadLogicRule(const store::ProjectDir& dir, int number) {
    return store::FieldText(
        store::ReadFixed(dir.PathOf(store::ProjectFile::Logic, number), kLogicFileMax));
}

WriteResult WriteLogicRule(const store::ProjectDir& dir, int number, std::string_view text) {
    const std::string name = store::FileName(store::ProjectFile::Logic, number);
    auto failure = [&name](int error) {
        return WriteResult{false, "无法写入文件“" + name + "”：" + std::strerror(error)};
    };
    // Written in place and then cut to length: the file never keeps the tail
    // of a longer rule.
    const int fd =
        ::open(dir.PathOf(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return failure(errno);
    bool ok = WriteAllAt(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0) &&
              ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) return failure(error);
    return {};
}

int DeleteLogicRules(const store::ProjectDir& dir, int capacity) {
    int deleted = 0;
    for (int n = 0; n < capacity; ++n) {
        std::error_code ec;
        if (std::filesystem::remove(dir.PathOf(store::ProjectFile::Logic, n), ec)) ++deleted;
    }
    return deleted;
}

std::string ReadDeviceLogic(const store::ProjectDir& dir, int loop, int address) {
    return store::FieldText(
        store::ReadFixed(dir.PathOf(store::ProjectFile::DeviceLogic, loop), kDeviceLogicRecordSize,
                         0, static_cast<std::size_t>(address) * kDeviceLogicRecordSize));
}

base::Result<> SaveDeviceLogic(const store::ProjectDir& dir, int loop, int address,
                               std::string_view text) {
    // The records before this one are kept (or NULs where the file is short);
    // the ones after it are kept as the file's tail.
    const std::size_t offset = static_cast<std::size_t>(address) * kDeviceLogicRecordSize;
    const std::filesystem::path path = dir.PathOf(store::ProjectFile::DeviceLogic, loop);
    std::vector<std::uint8_t> bytes = store::ReadFixed(path, offset);
    const DeviceLogicRecord record = MakeDeviceLogicRecord(text);
    bytes.insert(bytes.end(), record.begin(), record.end());
    return base::WriteFileStart(path, bytes);
}

bool WriteDeviceLogic(const store::ProjectDir& dir, int loop, int address, std::string_view text) {
    return SaveDeviceLogic(dir, loop, address, text).ok();
}

}  // namespace velsend::logic
