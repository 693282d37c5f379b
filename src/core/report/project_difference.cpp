#include "core/report/project_difference.h"

#include <algorithm>
#include <cstdio>

#include "base/controller_model.h"
#include "base/gbk.h"
#include "core/logic/logic_files.h"
#include "core/phrases/phrase_library.h"
#include "core/store/device_store.h"
#include "core/store/device_text.h"
#include "core/store/node_records.h"
#include "core/store/project_info.h"

namespace velsend::report {

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char hex[8];
        if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // The C1 controls (U+0080..U+009F) steer terminals as well.
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned char>(text[++i]));
            out += hex;
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

namespace {

// Project text as the terminal may show it: control characters escaped, so
// that a file cannot drive the terminal.
std::string Printable(std::string_view gbk) {
    return EscapeControls(base::GbkToUtf8(std::string(gbk)));
}

std::string Quoted(std::string_view gbk) {
    return "“" + Printable(gbk) + "”";
}

std::string Change(std::string_view label, long long before, long long after) {
    return " " + std::string(label) + " " + std::to_string(before) + "→" + std::to_string(after);
}

std::string LoopAddress(int loop, int address) {
    return "回路 " + store::LetteredLoop(loop) + " 地址 " + std::to_string(address);
}

// The type's name, or "类型N" for a code without one.
std::string TypeName(const store::DeviceRecord& r, int model) {
    const std::string_view name = store::TypeNameOf(r, model);
    return name.empty() ? "类型" + std::to_string(r.DeviceType()) : std::string(name);
}

void CompareDevices(const store::ProjectDir& a, const store::ProjectDir& b, int loop, int model,
                    std::vector<ProjectDifference>& out) {
    const store::DeviceFile da = store::ReadDeviceFile(a, loop);
    const store::DeviceFile db = store::ReadDeviceFile(b, loop);
    const store::ChineseNameFile na = store::ReadChineseNameFile(a, loop);
    const store::ChineseNameFile nb = store::ReadChineseNameFile(b, loop);
    for (int address = 0; address < store::kAddressCount; ++address) {
        const auto i = static_cast<std::size_t>(address);
        const store::DeviceRecord& x = da[i];
        const store::DeviceRecord& y = db[i];
        if (x != y) {
            std::string line = LoopAddress(loop, address) + "：" + TypeName(y, model);
            if (x.Installed() != y.Installed())
                line += std::string(" ") + (x.Installed() ? "开" : "关") + "→" +
                        (y.Installed() ? "开" : "关");
            if (x.ProductClass() != y.ProductClass())
                line += " 类别 " + std::string(store::ClassName(x.ProductClass())) + "→" +
                        std::string(store::ClassName(y.ProductClass()));
            if (x.DeviceType() != y.DeviceType() || x.ProductClass() != y.ProductClass())
                line += " 类型 " + TypeName(x, model) + "→" + TypeName(y, model);
            if (x.Zone != y.Zone) line += Change("区域", x.Zone, y.Zone);
            if (x.Floor != y.Floor) line += Change("楼层", x.Floor, y.Floor);
            if (x.Room != y.Room) line += Change("房间", x.Room, y.Room);
            if (x.NamePhrase != y.NamePhrase) line += Change("词组", x.NamePhrase, y.NamePhrase);
            if (x.ParamByte != y.ParamByte) line += Change("参数", x.ParamByte, y.ParamByte);
            // Bits no field above shows (the status byte's bit 4, the high
            // byte's upper bits) still make the records differ.
            if (line.find("→") == std::string::npos)
                line += Change("状态字节", x.StatusByte, y.StatusByte) +
                        Change("类型高字节", x.TypeHighByte, y.TypeHighByte);
            out.push_back({"device", loop, address, line});
        }
        if (na[i] != nb[i])
            out.push_back({"name", loop, address,
                           LoopAddress(loop, address) + " 名称：" + Quoted(store::NameText(na[i])) +
                               "→" + Quoted(store::NameText(nb[i]))});
    }
}

void CompareDeviceLogic(const store::ProjectDir& a, const store::ProjectDir& b, int loop,
                        std::vector<ProjectDifference>& out) {
    constexpr std::size_t kFile = store::kAddressCount * logic::kDeviceLogicRecordSize;
    const auto fa = store::ReadFixed(a.PathOf(store::ProjectFile::DeviceLogic, loop), kFile);
    const auto fb = store::ReadFixed(b.PathOf(store::ProjectFile::DeviceLogic, loop), kFile);
    if (fa == fb) return;
    for (int address = 0; address < store::kAddressCount; ++address) {
        const auto at = static_cast<std::ptrdiff_t>(address) *
                        static_cast<std::ptrdiff_t>(logic::kDeviceLogicRecordSize);
        const std::span<const std::uint8_t> ra(fa.data() + at, logic::kDeviceLogicRecordSize);
        const std::span<const std::uint8_t> rb(fb.data() + at, logic::kDeviceLogicRecordSize);
        if (std::equal(ra.begin(), ra.end(), rb.begin())) continue;
        out.push_back({"device-logic", loop, address,
                       LoopAddress(loop, address) + " 逻辑：" + Quoted(base::FieldText(ra)) + "→" +
                           Quoted(base::FieldText(rb))});
    }
}

void CompareNodes(const store::ProjectDir& a, const store::ProjectDir& b,
                  std::vector<ProjectDifference>& out) {
    struct Label {
        const char* text;
        int store::NodeFields::*field;
    };
    const auto compare = [&out](const char* file, const store::NodeFields& x,
                                const store::NodeFields& y, std::initializer_list<Label> labels) {
        int number = 0;
        for (const Label& l : labels) {
            if (x.*l.field != y.*l.field)
                out.push_back(
                    {"node", -1, number,
                     std::string("节点 ") + file + Change(l.text, x.*l.field, y.*l.field)});
            ++number;
        }
    };
    store::NineByteNodeRecord a9, b9;
    (void)store::LoadNodeRecord(a, a9);
    (void)store::LoadNodeRecord(b, b9);
    compare("node1.dat", store::FieldsOf(a9), store::FieldsOf(b9),
            {{"本机地址", &store::NodeFields::local},
             {"驱动板(回路)地址", &store::NodeFields::driverFirst},
             {"联动盘首址", &store::NodeFields::linkageFirst},
             {"联动盘末址", &store::NodeFields::linkageLast},
             {"联网机数", &store::NodeFields::networkCount},
             {"工作方式", &store::NodeFields::workMode}});
    store::TenByteNodeRecord a10, b10;
    (void)store::LoadNodeRecord(a, a10);
    (void)store::LoadNodeRecord(b, b10);
    compare("node2.dat", store::FieldsOf(a10), store::FieldsOf(b10),
            {{"本机地址", &store::NodeFields::local},
             {"驱动板首址", &store::NodeFields::driverFirst},
             {"驱动板末址", &store::NodeFields::driverLast},
             {"联动盘首址", &store::NodeFields::linkageFirst},
             {"联动盘末址", &store::NodeFields::linkageLast},
             {"联网机数", &store::NodeFields::networkCount},
             {"工作方式", &store::NodeFields::workMode}});
}

}  // namespace

std::vector<ProjectDifference> CompareProjects(const store::ProjectDir& a,
                                               const store::ProjectDir& b, int controllerModel) {
    std::vector<ProjectDifference> out;
    for (int loop = 0; loop < store::kLoopCount; ++loop) {
        CompareDevices(a, b, loop, controllerModel, out);
        CompareDeviceLogic(a, b, loop, out);
    }
    // Every numbered rule any family keeps, whatever the model.
    int capacity = 0;
    for (int m = base::kFirstModel; m <= base::kLastModel; ++m)
        capacity = std::max(capacity, base::Traits(m).logicCapacity);
    for (int n = 0; n < capacity; ++n) {
        const std::string x = logic::ReadLogicRule(a, n);
        const std::string y = logic::ReadLogicRule(b, n);
        if (x != y)
            out.push_back(
                {"logic", -1, n, "逻辑 " + std::to_string(n) + "：" + Quoted(x) + "→" + Quoted(y)});
    }
    const phrases::PhraseImage pa = phrases::ReadPhraseLibrary(a);
    const phrases::PhraseImage pb = phrases::ReadPhraseLibrary(b);
    for (int n = 0; n < phrases::kPhraseCount; ++n) {
        const std::string x = phrases::PhraseText(pa, n);
        const std::string y = phrases::PhraseText(pb, n);
        if (x != y)
            out.push_back({"phrase", -1, n,
                           "词库 " + std::to_string(n) + "：" + Quoted(x) + "→" + Quoted(y)});
    }
    CompareNodes(a, b, out);
    const store::ProjectInfo ia = store::ReadProjectInfo(a);
    const store::ProjectInfo ib = store::ReadProjectInfo(b);
    for (int f = 0; f < store::kInfoFieldCount; ++f) {
        const auto i = static_cast<std::size_t>(f);
        if (ia[i] != ib[i])
            out.push_back({"info", -1, f,
                           "工程信息 " + std::string(store::InfoFieldLabel(f)) + "：" +
                               Quoted(ia[i]) + "→" + Quoted(ib[i])});
    }
    return out;
}

}  // namespace velsend::report
