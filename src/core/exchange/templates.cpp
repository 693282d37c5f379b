#include "core/exchange/templates.h"

#include <cctype>
#include <string>
#include <vector>

#include "core/exchange/excel_types.h"

namespace velsend::exchange {
namespace {

constexpr int kL = 12, kM = 13, kD = 4, kE = 5;

void PutText(Sheet& sheet, int row, int column, std::string_view utf8) {
    sheet.Put(row, column, Cell::Utf8(utf8));
}

constexpr std::string_view kEntryNote =
    "必填。逐行填写，检测到空行程序结束，只有列出条目才会被修改，没有列出条目不会修改。";
constexpr std::string_view kFoldNote =
    "A，a，%A，%a，Ａ，ａ导入VelSend自动转化为Ａ。1，%1，１导入VelSend自动转化为１。"
    "如此模板文名件以@开头为英文模版，输入内容不自动转换。";

// Ten names per row from column M.
int PutNameList(Sheet& sheet, int row, const std::vector<std::string_view>& names) {
    for (std::size_t i = 0; i < names.size(); ++i)
        PutText(sheet, row + static_cast<int>(i / 10), kM + static_cast<int>(i % 10), names[i]);
    return row + static_cast<int>((names.size() + 9) / 10);
}

std::vector<std::string_view> ListedNames(int productClass) {
    // The lists show what the KA import reads, as the notes beside them say,
    // plus the module type 26 name that tells it from the alarm name.
    std::vector<std::string_view> names;
    for (const ExcelTypeName& t : ExcelTypeNames(true))
        if (t.productClass == productClass) names.push_back(t.name);
    return names;
}

void DeviceRow(Sheet& s, int row, double code, std::string_view type, std::string_view text,
               std::vector<int> numbers = {}, std::string_view start = {}, int delay = 0,
               bool borrowed = false) {
    s.Put(row, 1, Cell::Number(code));
    if (!type.empty()) PutText(s, row, 2, type);
    if (!text.empty()) PutText(s, row, 3, text);
    for (std::size_t i = 0; i < numbers.size() && i < 4; ++i)
        if (numbers[i] != 0) s.Put(row, 4 + static_cast<int>(i), Cell::Number(numbers[i]));
    if (!start.empty()) PutText(s, row, 8, start);
    if (delay != 0) s.Put(row, 9, Cell::Number(delay));
    if (borrowed) PutText(s, row, 10, "是");
}

}  // namespace

std::string_view TemplateFileName(TemplateKind kind) {
    return kind == TemplateKind::Standard ? "VelSend标准模板.xlsx" : "VelSend示例模板.xlsx";
}

Sheet DeviceSheet(std::string name) {
    Sheet s(std::move(name));
    constexpr std::string_view kHeaders[] = {"地址码", "类型", "描述(KA,KAII)", "区域",   "楼层",
                                             "房间",   "名称", "启动方式",      "延时x5", "借用"};
    for (int c = 0; c < 10; ++c) PutText(s, 1, c + 1, kHeaders[c]);
    PutText(s, 4, kL, "说明");
    PutText(s, 5, kL, "工作表");
    PutText(s, 5, kM,
            "工作表的名称“总线设备”可以任意修改为相关说明，可以创建多的工作表以分类管理查看。"
            "第一行内容和位置不能修改。");
    PutText(s, 6, kL, "地址码");
    PutText(s, 6, kM,
            "必填。逐行填写，检测到空行程序结束，只有列出地址的属性才会被修改修改，没有列出的地址不"
            "会修改。\n"
            "格式：XXXYYY，XXX为回路(0-255)，YYY为地址(0-255)。例如：24008表示24回路8号地址。");
    PutText(s, 8, kL, "类型");
    PutText(s, 8, kM,
            "不填或填写的内容不被能识别则默认设置关闭此地址，可识别的类型则默认打开此地址并设置为相"
            "应类型。\n"
            "如果此地址设置为关闭，后面的其他属性均无效。注意：如果报警类和模块类的类型一样时，"
            "模块类的类型名称后面+M加以区分，如防火阀。");
    PutText(s, 10, kM, "可识别的报警类型");
    PutNameList(s, 11, ListedNames(store::kAlarmClass));
    PutText(s, 14, kM, "可识别的模块类型");
    PutNameList(s, 15, ListedNames(store::kModuleClass));
    PutText(s, 19, kM, "可识别的楼层显示器类型");
    PutText(s, 20, kM, "楼层显示器");
    PutText(s, 21, kL, "描述");
    PutText(s, 21, kM,
            "KA，KAII主机支持5个汉字数字或字母，KBX不支持描述。识别时截取输入的内容前8个汉字数字或"
            "字母，"
            "最终导入到控制器时只显示前5个。\n" +
                std::string(kFoldNote));
    PutText(s, 23, kL, "区域");
    PutText(s, 23, kM, "不填或填写的内容不被能识别默认为0，可被识别的内容为0-255。");
    PutText(s, 24, kL, "楼层");
    PutText(s, 25, kL, "房间");
    PutText(s, 26, kL, "名称");
    PutText(s, 27, kL, "启动方式\n故障显示");
    PutText(s, 27, kM,
            "当类型设置的为模块类型有效。当地址为借用时，此属性为故障显示。\n"
            "不填或填写的内容不被能识别默认为手动，可被识别的内容为自动和手动，自动=故障显示，手动="
            "故障不显示。");
    PutText(s, 29, kL, "延时x5");
    PutText(s, 29, kM,
            "当类型设置的为模块类型有效。不填或填写的内容不被能识别默认为0，可被识别的内容0-127。");
    PutText(s, 30, kL, "借用");
    PutText(
        s, 30, kM,
        "当类型设置的为模块类型有效。不填或填写的内容不被能识别默认为否，可被识别的内容是和否。");
    s.columnWidths = {{1, 10}, {2, 16}, {3, 22}, {kL, 10}, {kM, 14}};
    return s;
}

// The logic and phrase sheets: a number and a text column, and notes on the
// sheet, the number and the text beside them.
Sheet NumberedTextSheet(std::string_view name, const std::string& sheetNote,
                        const std::string& entryNote, const std::string& contentNote,
                        int contentWidth) {
    Sheet s{std::string(name)};
    PutText(s, 1, 1, "条目");
    PutText(s, 1, 2, "内容");
    PutText(s, 4, kD, "说明");
    PutText(s, 5, kD, "工作表");
    PutText(s, 5, kE, sheetNote);
    PutText(s, 6, kD, "条目");
    PutText(s, 6, kE, std::string(kEntryNote) + entryNote);
    PutText(s, 8, kD, "内容");
    PutText(s, 8, kE, contentNote);
    s.columnWidths = {{1, 8}, {2, contentWidth}, {kE, 60}};
    return s;
}

Sheet LogicSheet() {
    return NumberedTextSheet(
        kLogicSheetName, "工作表的名称“逻辑规则”不可修改。第一行内容和位置不能修改。",
        "\nKA，KAII可识别内容为0-999，KBX可识别内容为0-255。",
        "KA，KAII支持字符数120，KBX支持字符数80。长度大于支持字符数时，自动截断。", 60);
}

Sheet PhraseSheet() {
    return NumberedTextSheet(
        kPhraseSheetName, "工作表的名称“词库”不可修改。第一行内容和位置不能修改。",
        "可识别内容为0-255.",
        "KA，KAII，KBX主机支持5个汉字数字或字母。识别时截取输入的内容前8个汉字数字或字母，"
        "最终导入到控制器时只显示前5个。\n" +
            std::string(kFoldNote),
        20);
}

Workbook StandardTemplate() {
    Workbook wb;
    wb.sheets.push_back(DeviceSheet(std::string(kDeviceSheetName)));
    wb.sheets.push_back(LogicSheet());
    wb.sheets.push_back(PhraseSheet());
    return wb;
}

Workbook ExampleTemplate() {
    Workbook wb;
    Sheet a = DeviceSheet("A座一层0-1回路");
    int r = 2;
    DeviceRow(a, r++, 1, "感烟探测器", "%A座负一层变配电室", {1, 1, 1, 0});
    DeviceRow(a, r++, 2, "感温探测器", "Ａ座１层备品库", {1, 1, 2, 0});
    DeviceRow(a, r++, 3, "手动按钮", "Ａ座%1层保安室外", {1, 1, 3, 0});
    DeviceRow(a, r++, 4, "消火栓按钮", "%a座1层大厅", {1, 1, 4, 0});
    DeviceRow(a, r++, 5, "", "");  // left empty: the address keeps what it has
    DeviceRow(a, r++, 101, "防火阀", "A座1层走廊", {1, 1, 0, 5});
    DeviceRow(a, r++, 102, "防火阀M", "A座1层走廊", {1, 1, 0, 5}, "自动", 4);
    DeviceRow(a, r++, 1001, "消防泵", "A座泵房", {1, 1, 0, 0}, "", 0);
    DeviceRow(a, r++, 1002, "喷淋泵", "A座泵房", {1, 1, 0, 0}, "自动", 10);
    DeviceRow(a, r++, 1003, "气体灭火", "A座%1层机房", {1, 1, 0, 0}, "自动", 0, true);
    DeviceRow(a, r++, 1004, "声光警报", "Ａ座１层", {1, 1, 0, 0}, "自动");
    DeviceRow(a, r++, 1043, "楼层显示器", "A座1层", {1, 1, 0, 0});
    wb.sheets.push_back(std::move(a));

    Sheet b = DeviceSheet("A座二层2回路");
    r = 2;
    DeviceRow(b, r++, 2001, "感烟探测器", "A座2层办公室", {2, 2, 1, 0});
    DeviceRow(b, r++, 2002, "感烟探测器", "A座%2层会议室", {2, 2, 2, 0});
    DeviceRow(b, r++, 2003, "可燃气探测器", "A座2层厨房", {2, 2, 3, 0});
    DeviceRow(b, r++, 2004, "", "");
    DeviceRow(b, r++, 2010, "防排烟", "A座2层", {2, 2, 0, 0}, "自动", 6);
    DeviceRow(b, r++, 2011, "漏电模块", "A座2层配电", {2, 2, 0, 0});
    DeviceRow(b, r++, 2012, "消防广播", "A座2层", {2, 2, 0, 0}, "自动", 0, true);
    wb.sheets.push_back(std::move(b));

    Sheet c = DeviceSheet("A座三层3回路");
    r = 2;
    DeviceRow(c, r++, 3001, "感烟探测器", "A座3层客房", {3, 3, 1, 0});
    DeviceRow(c, r++, 3002, "烟温复合", "A座3层客房", {3, 3, 2, 0});
    DeviceRow(c, r++, 3003, "A相电流", "A座3层配电", {3, 3, 0, 0});
    DeviceRow(c, r++, 3004, "", "");
    DeviceRow(c, r++, 3020, "应急照明", "A座3层", {3, 3, 0, 0}, "自动");
    DeviceRow(c, r++, 3021, "排烟风机", "A座屋顶", {3, 3, 0, 0}, "手动", 20);
    wb.sheets.push_back(std::move(c));

    Sheet logic = LogicSheet();
    const std::pair<int, std::string_view> rules[] = {
        {0, "T13001=M13002"},
        {1,
         "T14001=M13002=M13003=M13004=M13005=M13006=M13007=M13008=M13009=M13010=M13011=M13012="
         "M13013=M13014=M13015"},
        {2, "R15001=M15002"},
        {3, ""},
    };
    r = 2;
    for (const auto& [number, text] : rules) {
        logic.Put(r, 1, Cell::Number(number));
        if (!text.empty()) PutText(logic, r, 2, text);
        ++r;
    }
    wb.sheets.push_back(std::move(logic));

    Sheet phrases = PhraseSheet();
    const std::pair<int, std::string_view> words[] = {
        {0, "A座"},  {1, "%B座"}, {2, "1层"},    {3, "%2层"}, {4, "暗室"},
        {5, "吧台"}, {6, ""},     {100, "大厅"}, {101, ""},   {200, "消防控制室"},
    };
    r = 2;
    for (const auto& [number, text] : words) {
        phrases.Put(r, 1, Cell::Number(number));
        if (!text.empty()) PutText(phrases, r, 2, text);
        ++r;
    }
    wb.sheets.push_back(std::move(phrases));
    return wb;
}

std::filesystem::path XlsxFileName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".xls") return path;
    return std::filesystem::path(path).replace_extension(".xlsx");
}

base::Result<std::filesystem::path> WriteTemplate(TemplateKind kind,
                                                  const std::filesystem::path& path) {
    const std::filesystem::path file = XlsxFileName(path);
    const Workbook wb = kind == TemplateKind::Standard ? StandardTemplate() : ExampleTemplate();
    if (auto written = WriteXlsx(wb, file); !written)
        return base::Error{std::string(kOpenFailedText), written.error().Full()};
    return file;
}

}  // namespace velsend::exchange
