#include "core/exchange/excel_types.h"

#include <algorithm>

#include "base/controller_model.h"
#include "base/gbk.h"

namespace velsend::exchange {
namespace {

using store::kAlarmClass;
using store::kModuleClass;
using store::kZoneDisplayClass;

constexpr std::array<ExcelTypeName, 54> kExportNames{{
    {kAlarmClass, 0, "感烟探测器"}, {kAlarmClass, 1, "感温探测器"},
    {kAlarmClass, 2, "手动按钮"},   {kAlarmClass, 3, "可燃气体探测器"},
    {kAlarmClass, 4, "红外探测器"}, {kAlarmClass, 5, "组联模块"},
    {kAlarmClass, 6, "防爆接口"},   {kAlarmClass, 7, "消火栓按钮"},
    {kAlarmClass, 8, "压力开关"},   {kAlarmClass, 9, "水流指示器"},
    {kAlarmClass, 10, "防火阀"},    {kAlarmClass, 11, "感温电缆"},
    {kAlarmClass, 12, "信号阀"},    {kAlarmClass, 13, "接口"},
    {kAlarmClass, 14, "烟温复合"},  {kAlarmClass, 15, "其它报警"},
    {kAlarmClass, 16, "剩余电流"},  {kAlarmClass, 17, "温度"},
    {kAlarmClass, 18, "A相电流"},   {kAlarmClass, 19, "B相电流"},
    {kAlarmClass, 20, "C相电流"},   {kZoneDisplayClass, 0, "楼层显示器"},
    {kModuleClass, 0, "电源"},      {kModuleClass, 1, "消防泵"},
    {kModuleClass, 2, "喷淋泵"},    {kModuleClass, 3, "气体灭火"},
    {kModuleClass, 4, "泡沫灭火"},  {kModuleClass, 5, "干粉灭火"},
    {kModuleClass, 6, "卷帘门"},    {kModuleClass, 7, "防火门"},
    {kModuleClass, 8, "空调新风"},  {kModuleClass, 9, "防排烟"},
    {kModuleClass, 10, "电梯"},     {kModuleClass, 11, "消防广播"},
    {kModuleClass, 12, "应急照明"}, {kModuleClass, 13, "疏散指示"},
    {kModuleClass, 14, "声光警报"}, {kModuleClass, 15, "漏电"},
    {kModuleClass, 16, "喷雾泵"},   {kModuleClass, 17, "排烟口"},
    {kModuleClass, 18, "正压送风"}, {kModuleClass, 19, "正压排烟"},
    {kModuleClass, 20, "补风机"},   {kModuleClass, 21, "新风机"},
    {kModuleClass, 22, "排风机"},   {kModuleClass, 23, "预作用阀"},
    {kModuleClass, 24, "末端放气"}, {kModuleClass, 25, "排烟风机"},
    {kModuleClass, 26, "防火阀M"},  {kModuleClass, 27, "消防广播A"},
    {kModuleClass, 28, "备用28"},   {kModuleClass, 29, "备用29"},
    {kModuleClass, 30, "备用30"},   {kModuleClass, 31, "备用31"},
}};

constexpr std::array<ExcelTypeName, 54> kKaNames = [] {
    auto names = kExportNames;
    names[3].name = "可燃气探测器";
    names[21 + 1 + 15].name = "漏电模块";
    return names;
}();

struct GbkName {
    ExcelTypeName type;
    std::string gbk;
};

std::vector<GbkName> GbkTable(bool ka) {
    std::vector<GbkName> table;
    for (const ExcelTypeName& t : ExcelTypeNames(ka))
        table.push_back({t, base::Utf8ToGbk(t.name).value_or(std::string())});
    return table;
}

const std::vector<GbkName>& Table(bool ka) {
    static const std::vector<GbkName> export_ = GbkTable(false);
    static const std::vector<GbkName> ka_ = GbkTable(true);
    return ka ? ka_ : export_;
}

// Width of the GBK character starting at `i`: 2 for a lead byte with a trail
// byte after it, else 1.
std::size_t CharWidth(std::string_view gbk, std::size_t i) {
    return static_cast<unsigned char>(gbk[i]) >= 0x81 && i + 1 < gbk.size() ? 2 : 1;
}

}  // namespace

ExcelImportRules RulesFor(ExcelFamily family) {
    // The KA import is the one of the newer KA menu, the KBX import the one
    // of the KBX menus; their limits are those families' limits.
    const int model = family == ExcelFamily::KA ? base::kDefaultModel : 3;
    const base::FamilyTraits& traits = base::Traits(model);
    return {family, traits.logicCapacity, traits.logicTextLimit,
            traits.family == base::Family::KANew || traits.family == base::Family::KAOld};
}

const std::array<ExcelTypeName, 54>& ExcelTypeNames(bool kaTypeNames) {
    return kaTypeNames ? kKaNames : kExportNames;
}

std::optional<std::string> ExportTypeName(const store::DeviceRecord& record) {
    const int s = record.StatusByte;
    const int h = record.TypeHighByte;
    const auto name = [](int productClass, int type) -> std::optional<std::string> {
        for (const GbkName& n : Table(false))
            if (n.type.productClass == productClass && n.type.type == type) return n.gbk;
        return std::nullopt;
    };
    if (h == 0) {
        if ((s & 0x6F) <= 15) return name(kAlarmClass, s & 0x6F);
        if ((s & 0x6F) == 0x20) return name(kZoneDisplayClass, 0);
        if ((s & 0x4F) >= 0x40 && (s & 0x4F) <= 0x4F) return name(kModuleClass, (s & 0x4F) - 0x40);
        return std::nullopt;
    }
    if ((s & 0x6F) <= 4) return name(kAlarmClass, 16 + (s & 0x6F));
    if ((s & 0x4F) >= 0x40 && (s & 0x4F) <= 0x4F) return name(kModuleClass, 16 + (s & 0x4F) - 0x40);
    return std::nullopt;
}

std::optional<ExcelTypeName> LookupTypeName(std::string_view gbk, bool kaTypeNames) {
    std::string key;
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t w = CharWidth(gbk, i);
        if (!(w == 1 && gbk[i] == ' ')) key.append(gbk.substr(i, w));
        i += w;
    }
    key = base::UpperLetters(key);
    for (const GbkName& n : Table(kaTypeNames))
        if (n.gbk == key) return n.type;
    return std::nullopt;
}

std::array<std::uint8_t, 16> ExcelTextFold(std::string_view gbk, bool englishWorkbook) {
    std::array<std::uint8_t, 16> out{};
    std::size_t filled = 0;
    auto put = [&](std::string_view bytes) {
        if (filled + bytes.size() > out.size()) return false;
        for (char c : bytes) out[filled++] = static_cast<std::uint8_t>(c);
        return true;
    };
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t w = CharWidth(gbk, i);
        const auto c = static_cast<unsigned char>(gbk[i]);
        bool fits;
        if (!englishWorkbook && w == 1 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) {
            const char wide[2] = {static_cast<char>(0xA3), static_cast<char>(c + 0x80)};
            fits = put(std::string_view(wide, 2));
        } else {
            fits = put(gbk.substr(i, w));
        }
        if (!fits) break;
        i += w;
    }
    return out;
}

std::string PrepareCellText(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size());
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t w = CharWidth(gbk, i);
        if (!(w == 1 && gbk[i] == '%')) out.append(gbk.substr(i, w));
        i += w;
    }
    return base::UpperLetters(out);
}

bool IsEnglishWorkbook(std::string_view fileName) {
    return !fileName.empty() && fileName.front() == '@';
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace velsend::exchange
