#include "core/exchange/text_print.h"

#include <array>
#include <cstdio>
#include <stdexcept>

#include "base/controller_model.h"
#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/exchange/file_batch.h"
#include "core/exchange/raw_read.h"
#include "core/logic/logic_files.h"

namespace velsend::exchange {
namespace {

constexpr std::array<std::string_view, 21> kAlarmTypes{
    "感烟",       "感温",     "手报",       "可燃气", "红外",     "组联模块", "防爆接口",
    "消火栓按钮", "压力开关", "水流指示器", "防火阀", "感温电缆", "信号阀",   "接口",
    "烟温复合",   "其它报警", "剩余电流",   "温度",   "A相电流",  "B相电流",  "C相电流"};
constexpr std::array<std::string_view, 27> kModuleTypes{
    "电源",     "消防泵",   "喷淋泵",   "气体灭火",  "泡沫灭火", "干粉灭火", "卷帘门",
    "防火门",   "空调新风", "防排烟",   "电梯",      "消防广播", "应急照明", "疏散指示",
    "声光警报", "其它报警", "喷雾泵",   "排烟口",    "正压送风", "正压排烟", "补风机",
    "新风机",   "排风机",   "预作用阀", "末端放气 ", "排烟风机", "防火阀"};
constexpr std::array<std::string_view, 4> kClassTexts{"产品类型:报警类\t", "产品类型:楼层显示器\t",
                                                      "产品类型:联动控制模块\t",
                                                      "产品类型:多线盘借用地址\t"};

std::string Gbk(std::string_view utf8) {
    auto gbk = base::Utf8ToGbk(utf8);
    if (!gbk) throw std::logic_error("label not encodable in GBK");
    return *gbk;
}

// The labels in the files' encoding, converted once.
struct Labels {
    std::string installed = Gbk("安装信息:安装\t");
    std::array<std::string, 4> classes;
    std::array<std::string, 32> alarm;
    std::array<std::string, 32> module;
    std::array<std::string, 32> borrowed;
    std::string place = Gbk("\t安装部位:");
    std::string zone = Gbk("区域:");
    std::string floor = Gbk("楼层:");
    std::string room = Gbk("房间:");
    std::string name = Gbk("\t\t 名称:");
    std::string name2 = Gbk("\t名称二:");
    std::string logicInfo = Gbk("\t逻辑信息:");
    std::string logic = Gbk("逻辑");

    Labels() {
        for (std::size_t c = 0; c < classes.size(); ++c) classes[c] = Gbk(kClassTexts[c]);
        auto typeText = [](std::string_view type) {
            return Gbk("设备类型:" + std::string(type) + "\t");
        };
        // Codes without a text of their own: the alarm class shows the code,
        // the module classes the catalogue's name (消防广播A, 备用28, ...).
        for (int t = 0; t < 32; ++t) {
            const auto i = static_cast<std::size_t>(t);
            alarm[i] = t < 21 ? typeText(kAlarmTypes[i]) : typeText(std::to_string(t));
            module[i] = t < 27 ? typeText(kModuleTypes[i]) : typeText(store::ModuleTypeName(t));
            borrowed[i] = t == 15 ? typeText("漏电") : module[i];
        }
    }
};

const Labels& L() {
    static const Labels labels;
    return labels;
}

constexpr std::string_view kCrLf = "\r\n";

void Append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
void Append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> raw) {
    out.insert(out.end(), raw.begin(), raw.end());
}
// A raw field of `width` bytes from `source` at `offset`; zeros past its end.
void AppendField(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> source,
                 std::size_t offset, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(offset + i < source.size() ? source[offset + i] : 0);
}

// A byte in decimal with at least two digits ("05", "12", "255").
void AppendTwoDigits(std::vector<std::uint8_t>& out, int value) {
    if (value >= 100) out.push_back(static_cast<std::uint8_t>('0' + value / 100));
    out.push_back(static_cast<std::uint8_t>('0' + value / 10 % 10));
    out.push_back(static_cast<std::uint8_t>('0' + value % 10));
}

}  // namespace

std::string PositionLabel(int loop, int address) {
    char text[24];
    std::snprintf(text, sizeof text, "%s-%03d:\t",
                  store::LetteredLoop(loop, store::LoopDigits::TwoDigits).c_str(), address);
    return text;
}

std::string LogicLineLabel(int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d:  ", number);
    return L().logic + digits;
}

std::vector<std::uint8_t> LoopText(int controllerModel, int loop,
                                   std::span<const std::uint8_t> devices,
                                   std::span<const std::uint8_t> phrases,
                                   std::span<const std::uint8_t> names,
                                   std::span<const std::uint8_t> deviceLogic) {
    const base::FamilyTraits& traits = base::Traits(controllerModel);
    const bool secondName = traits.family == base::Family::KANew;
    const Labels& labels = L();
    std::vector<std::uint8_t> out;
    out.reserve(64 * 1024);
    const std::string loopLabel = store::LetteredLoop(loop, store::LoopDigits::TwoDigits) + "-";
    for (int a = 0; a < store::kAddressCount; ++a) {
        std::array<std::uint8_t, 7> raw{};
        const std::size_t at = static_cast<std::size_t>(a) * 7;
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = at + i < devices.size() ? devices[at + i] : 0;
        const store::DeviceRecord r{raw[0], raw[1], raw[2], raw[3], raw[4], raw[5], raw[6]};
        if (!r.Installed()) continue;
        const int cls = r.ProductClass();
        const auto type = static_cast<std::size_t>(r.DeviceType());

        Append(out, loopLabel);
        out.push_back(static_cast<std::uint8_t>('0' + a / 100));
        AppendTwoDigits(out, a % 100);
        Append(out, ":\t");
        Append(out, labels.installed);
        Append(out, labels.classes[static_cast<std::size_t>(cls)]);
        if (cls == store::kAlarmClass)
            Append(out, labels.alarm[type]);
        else if (cls == store::kModuleClass)
            Append(out, labels.module[type]);
        else if (cls == store::kBorrowedClass)
            Append(out, labels.borrowed[type]);
        Append(out, kCrLf);

        Append(out, labels.place);
        Append(out, labels.zone);
        AppendTwoDigits(out, r.Zone);
        Append(out, "\t");
        Append(out, labels.floor);
        AppendTwoDigits(out, r.Floor);
        Append(out, "\t\t");
        Append(out, labels.room);
        AppendTwoDigits(out, r.Room);
        Append(out, "\t");
        Append(out, kCrLf);

        Append(out, labels.name);
        AppendField(out, phrases, static_cast<std::size_t>(r.NamePhrase) * 16, 16);
        if (secondName) {
            Append(out, labels.name2);
            AppendField(out, names, static_cast<std::size_t>(a) * 16, 16);
        }
        Append(out, kCrLf);

        if (traits.perDeviceLogic && (cls == store::kModuleClass || cls == store::kBorrowedClass)) {
            Append(out, labels.logicInfo);
            AppendField(out, deviceLogic, static_cast<std::size_t>(a) * 128, 128);
        }
        Append(out, kCrLf);
    }
    return out;
}

base::Result<PrintReport> WriteTextPrintFiles(const store::ProjectDir& dir, int controllerModel) {
    const base::FamilyTraits& traits = base::Traits(controllerModel);
    // Read as one whole state: another program's commit waits until all is read.
    auto reading = base::ProjectLock::AcquireShared(dir.Root(), base::ProjectLock::DefaultWait());
    if (!reading) return reading.error();
    PrintReport report;
    FileBatch batch(FileBatch::Mode::EachOnItsOwn);

    const std::vector<std::uint8_t> phrases =
        Padded(ReadUpTo(dir.PathOf(store::ProjectFile::Phrases), 4096)
                   .value_or(std::vector<std::uint8_t>{}),
               4096);

    // The numbered logic of the families that have it; the first family keeps
    // its logic per device, the MX300KC family has none.
    const bool numberedLogic = !traits.perDeviceLogic && traits.family != base::Family::KC;
    if (numberedLogic) {
        std::vector<std::uint8_t> text;
        text.reserve(1000 * 140);
        for (int n = 0; n < 1000; ++n) {
            Append(text, LogicLineLabel(n));
            if (auto rule =
                    ReadUpTo(dir.PathOf(store::ProjectFile::Logic, n), logic::kLogicFileMax))
                Append(text, Padded(std::move(*rule), logic::kLogicFileMax));
            Append(text, kCrLf);
        }
        batch.Add(dir.PathOf(store::ProjectFile::LogicText), text);
    }

    const bool secondName = traits.family == base::Family::KANew;
    for (int loop = 0; loop < store::kLoopCount; ++loop) {
        const auto devices = ReadUpTo(dir.PathOf(store::ProjectFile::Devices, loop), 1792);
        if (!devices) continue;
        std::vector<std::uint8_t> names, deviceLogic;
        if (secondName)
            names = ReadUpTo(dir.PathOf(store::ProjectFile::ChineseNames, loop), 4096)
                        .value_or(std::vector<std::uint8_t>{});
        if (traits.perDeviceLogic)
            deviceLogic = ReadUpTo(dir.PathOf(store::ProjectFile::DeviceLogic, loop), 32768)
                              .value_or(std::vector<std::uint8_t>{});
        const auto text = LoopText(controllerModel, loop, *devices, phrases, names, deviceLogic);
        batch.Add(dir.PathOf(store::ProjectFile::DeviceText, loop), text);
    }

    const int written = batch.Write();
    report.logicFile = numberedLogic && batch.Written(0);
    report.loopFiles = written - (report.logicFile ? 1 : 0);
    if (batch.Failed()) {
        return base::Error{"文本文件未全部生成：无法写入 " + std::to_string(batch.FailedCount()) +
                               " 个文件（" + batch.FailedList() + "）",
                           batch.FirstReason()};
    }
    report.message = std::string(kPrintDoneText);
    return report;
}

}  // namespace velsend::exchange
