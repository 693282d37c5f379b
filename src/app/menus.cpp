#include "app/menus.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "base/command_ids.h"
#include "base/controller_model.h"

namespace velsend::app {

using namespace velsend::base;
namespace {

struct CommandPromptRow {
    int id;
    std::string_view prompt;
};

constexpr CommandPromptRow kPrompts[] = {
    {ID_MODEL_1, "选择MX300KA(老)"},
    {ID_MODEL_2, "选择MX300KA(新)、MX300KAⅡ(新、老)"},
    {ID_MODEL_3, "选择MX300KBX(W29C020)"},
    {ID_MODEL_4, "选择MX300KBX(AT29C020)"},
    {ID_MODEL_5, "选择MX300KC(W29C020)"},
    {ID_MODEL_6, "选择MX300KC(AT29C020)"},
    {ID_NODE_SETTINGS, "设置本机地址、驱动板地址、联动盘地址等信息"},
    {ID_QUICK_SET, "快速设置（打开多个设备及设置设备类型）"},
    {ID_ALARM_CLASS, "设置报警类设备"},
    {ID_ZONE_DISPLAY_CLASS, "设置区显"},
    {ID_MODULE_CLASS, "设置模块类设备"},
    {ID_BORROWED_CLASS, "设置借用类设备"},
    {ID_DEVICE_DETAIL, "设置总线设备"},
    {ID_LOOP_QUERY, "查询回路设备情况"},
    {ID_LOOP_COPY, "回路复制"},
    {ID_LOGIC_SETTINGS, "设置联动设备的启动逻辑"},
    {ID_PHRASE_EDITOR, "编辑修改查看词库"},
    {ID_PHRASES_CLEAR, "全部初始化为空"},
    {ID_PHRASES_COMMON, "初始化为常用词组"},
    {ID_TRANSFER_RULES, "设置数据传送的规则"},
    {ID_SEND_NODES, "开始传送节点信息（本机地址、驱动板地、联动盘地址等）"},
    {ID_SEND_DEVICES, "开始传送总线设备的安装信息"},
    {ID_SEND_LOGIC, "开始传送联动设备的逻辑信息"},
    {ID_SEND_PHRASES, "开始传送词库信息"},
    {ID_ERASE_CHIP, "清空芯片的设置信息"},
    {ID_SEND_NAMES, "开始传送中文名称信息"},
    {ID_BACKUP, "数据备份"},
    {ID_INITIALISE, "删除所有数据文件（词库文件除外）"},
    {ID_VELNET_IMPORT, "把VELNET数据转换成VELSEND格式"},
    {ID_TEXT_PRINT, "生成设备信息文本文件"},
    {ID_PROJECT_NAME, "编辑查看工程名称"},
    {ID_PROJECT_DETAILS, "编辑查看工程详细信息"},
    {ID_SD_PACK, "将数据打包使用SD卡进行烧录"},
    {ID_SD_IMPORT_KA, "导入制作好的或者控制器导出的SDCard数据"},
    {ID_SD_IMPORT_KBX, "导入制作好的或者控制器导出的SDCard数据"},
    {ID_EXAMPLE_TEMPLATE, "生成一个示例模板"},
    {ID_STANDARD_TEMPLATE, "生成一个空的标准模板"},
    {ID_EXCEL_IMPORT_KA, "从Excel模板导入数据"},
    {ID_EXCEL_IMPORT_KBX, "从Excel模板导入数据"},
    {ID_EXCEL_EXPORT, "将现有数据导出到Excel模板"},
};

MenuEntry Cmd(int id, std::string_view text) {
    return {MenuEntry::Kind::Command, id, text, {}};
}
MenuEntry Sep() {
    return {MenuEntry::Kind::Separator, 0, {}, {}};
}
MenuEntry Popup(std::string_view text, std::vector<MenuEntry> items) {
    return {MenuEntry::Kind::Popup, 0, text, std::move(items)};
}
MenuEntry Model(int code) {
    const ControllerModelInfo& m = ModelInfo(code);
    return Cmd(m.selectCommand, m.menuText);
}

MenuEntry ModelPopup() {
    return Popup("控制器选择",
                 {Model(1), Model(2), Sep(), Model(3), Model(4), Sep(), Model(5), Model(6)});
}
MenuEntry ProjectPopup() {
    return Popup("工程信息",
                 {Cmd(ID_PROJECT_NAME, "工程名称"), Cmd(ID_PROJECT_DETAILS, "详细信息")});
}

// Menus 136 and 175 differ only in the family-specific items.
MenuBarLayout NewerFamilyBar(bool kbx) {
    std::vector<MenuEntry> transfer{Cmd(ID_NODE_SETTINGS, "节点信息设置"),
                                    Sep(),
                                    Cmd(ID_TRANSFER_RULES, "传送规则"),
                                    Sep(),
                                    Cmd(ID_SEND_NODES, "传送节点信息"),
                                    Cmd(ID_SEND_DEVICES, "传送设备信息"),
                                    Cmd(ID_SEND_LOGIC, "传送逻辑信息"),
                                    Cmd(ID_SEND_PHRASES, "传送词库信息"),
                                    Sep()};
    if (!kbx) {
        transfer.push_back(Cmd(ID_SEND_NAMES, "传送中文名称"));
        transfer.push_back(Sep());
    }
    transfer.push_back(Cmd(ID_ERASE_CHIP, "擦除芯片"));

    return {kbx ? 175 : 136,
            {ModelPopup(), Cmd(ID_INITIALISE, "初始化"),
             Popup(kbx ? "总线设置" : "总线设备",
                   {Cmd(ID_DEVICE_DETAIL, "详细设置"), Cmd(ID_LOOP_QUERY, "回路查询"), Sep(),
                    Cmd(ID_LOOP_COPY, "回路复制")}),
             Cmd(ID_LOGIC_SETTINGS, "逻辑设置"), Cmd(ID_PHRASE_EDITOR, "词库编辑"),
             Popup("Excel模板", {Cmd(ID_EXAMPLE_TEMPLATE, "生成一个示例模板"),
                                 Cmd(ID_STANDARD_TEMPLATE, "生成一个空的标准模板"), Sep(),
                                 kbx ? Cmd(ID_EXCEL_IMPORT_KBX, "从Excel模板导入KBX数据")
                                     : Cmd(ID_EXCEL_IMPORT_KA, "从Excel模板导入KA,KAII数据"),
                                 Cmd(ID_EXCEL_EXPORT, "将现有数据导出到Excel模板")}),
             Cmd(ID_SD_PACK, "SD卡数据生成"),
             Popup("SD卡数据导入", {kbx ? Cmd(ID_SD_IMPORT_KBX, "导入KBX的SDCard数据")
                                        : Cmd(ID_SD_IMPORT_KA, "导入KA,KAII的SDCard数据"),
                                    Sep(), Cmd(ID_VELNET_IMPORT, "导入VELNET数据")}),
             Cmd(ID_TEXT_PRINT, "文本文件生成"), ProjectPopup(),
             Popup("数据传送", std::move(transfer)), Cmd(ID_BACKUP, "数据备份")}};
}

std::vector<MenuBarLayout> BuildMenuBars() {
    MenuBarLayout bar128{
        128,
        {ModelPopup(), Cmd(ID_NODE_SETTINGS, "节点设置"), Cmd(ID_QUICK_SET, "快速设置"),
         Popup("总线设备", {Cmd(ID_ALARM_CLASS, "报警类"), Cmd(ID_ZONE_DISPLAY_CLASS, "区显类"),
                            Cmd(ID_MODULE_CLASS, "模块类"), Cmd(ID_BORROWED_CLASS, "借用类")}),
         Cmd(ID_LOOP_QUERY, "回路查询"),
         Popup("造词菜单",
               {Cmd(ID_PHRASE_EDITOR, "编辑修改查看"), Cmd(ID_PHRASES_CLEAR, "全部初始化为空"),
                Cmd(ID_PHRASES_COMMON, "初始化为常用词组")}),
         Popup("数据传送",
               {Cmd(ID_TRANSFER_RULES, "传送规则"), Sep(), Cmd(ID_SEND_NODES, "传送节点信息"),
                Cmd(ID_SEND_DEVICES, "传送设备信息"), Cmd(ID_SEND_LOGIC, "传送逻辑信息"),
                Cmd(ID_SEND_PHRASES, "传送词库信息"), Sep(), Cmd(ID_ERASE_CHIP, "擦除芯片")}),
         Cmd(ID_INITIALISE, "初始化"), Cmd(ID_VELNET_IMPORT, "导入VELNET数据"),
         Cmd(ID_TEXT_PRINT, "生成文本打印文件"), ProjectPopup()}};
    MenuBarLayout bar178{178,
                         {ModelPopup(), Cmd(ID_PHRASE_EDITOR, "词库编辑"),
                          Popup("数据传送", {Cmd(ID_TRANSFER_RULES, "传送规则"), Sep(),
                                             Cmd(ID_SEND_PHRASES, "传送词库信息")}),
                          Cmd(ID_TEXT_PRINT, "文本文件生成"), ProjectPopup()}};
    std::vector<MenuBarLayout> bars;
    bars.push_back(std::move(bar128));
    bars.push_back(NewerFamilyBar(false));
    bars.push_back(NewerFamilyBar(true));
    bars.push_back(std::move(bar178));
    return bars;
}

}  // namespace

const std::vector<MenuBarLayout>& MenuBars() {
    static const std::vector<MenuBarLayout> bars = BuildMenuBars();
    return bars;
}

const MenuBarLayout& MenuBarById(int id) {
    for (const MenuBarLayout& bar : MenuBars())
        if (bar.id == id) return bar;
    throw std::out_of_range("menu bar " + std::to_string(id));
}

const std::vector<int>& CommandIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> v;
        for (const CommandPromptRow& row : kPrompts) v.push_back(row.id);
        return v;
    }();
    return ids;
}

std::string_view CommandPrompt(int id) {
    for (const CommandPromptRow& row : kPrompts)
        if (row.id == id) return row.prompt;
    return {};
}

}  // namespace velsend::app
