#include "core/logic/logic_files.h"
#include "base/controller_model.h"

#include <algorithm>
#include <span>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/platform/files.h"

namespace velsend::logic {
int LogicCapacity(int controllerModel) {
    return base::Traits(controllerModel).logicCapacity;
}

int LogicTextLimit(int controllerModel) {
    return base::Traits(controllerModel).logicTextLimit;
}

DeviceLogicRecord MakeDeviceLogicRecord(std::string_view text) {
    DeviceLogicRecord record{};
    const std::vector<std::uint8_t> field = base::MakeField(text, kDeviceLogicRecordSize);
    std::copy(field.begin(), field.end(), record.begin());
    return record;
}

std::string ReadLogicRule(const store::ProjectDir& dir, int number) {
    return base::FieldText(
        store::ReadFixed(dir.PathOf(store::ProjectFile::Logic, number), kLogicFileMax));
}

base::Result<> WriteLogicRule(const store::ProjectDir& dir, int number, std::string_view text) {
    // The file is exactly as long as the rule: a shorter rule never keeps the
    // tail of a longer one.
    return base::WriteWholeFile(
        dir.PathOf(store::ProjectFile::Logic, number),
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

int DeleteLogicRules(const store::ProjectDir& dir, int capacity) {
    // One commit through the file module, so the history can bring the rules back.
    base::TransactionScope transaction("逻辑设置：全部清除");
    int deleted = 0;
    for (int n = 0; n < capacity; ++n) {
        const std::filesystem::path path = dir.PathOf(store::ProjectFile::Logic, n);
        if (platform::KindOf(path) != platform::PathKind::Regular) continue;
        if (base::RemoveFile(path)) ++deleted;
    }
    return transaction.Commit() ? deleted : 0;
}

std::string ReadDeviceLogic(const store::ProjectDir& dir, int loop, int address) {
    return base::FieldText(
        store::ReadFixed(dir.PathOf(store::ProjectFile::DeviceLogic, loop), kDeviceLogicRecordSize,
                         0, static_cast<std::size_t>(address) * kDeviceLogicRecordSize));
}

base::Result<> WriteDeviceLogic(const store::ProjectDir& dir, int loop, int address,
                                std::string_view text) {
    const base::ChangeText what("设备逻辑：回路 " + std::to_string(loop) + " 地址 " +
                                std::to_string(address));
    return base::WriteFileAt(dir.PathOf(store::ProjectFile::DeviceLogic, loop),
                             static_cast<std::size_t>(address) * kDeviceLogicRecordSize,
                             MakeDeviceLogicRecord(text));
}

}  // namespace velsend::logic
