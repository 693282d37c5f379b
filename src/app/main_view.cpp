#include "app/main_view.h"

#include <QPainter>
#include <QProgressBar>

#include "gui/kit/qt_text.h"

namespace velsend::app {

namespace {

struct NoteLine {
    int y;
    const char* text;
};

constexpr NoteLine kNotes[] = {
    {15, "说明："},
    {35,
     "KA，KAII中文主机：部位和词组5个汉字字母数字，数字输入%1或者１(全角)，字母输入%a%A或者ａＡ("
     "全角)"},
    {55, "KA，KAII英文主机：部位和词组16个字母数字，直接输入1-9,a-z,A-Z等字符"},
    {75,
     "KA，KAII主机逻辑：关键字使用大写字母，小写字母a-p对应回路数字100-250，如Ta1001="
     "Mb2002表示101回路1号联动112回路2号"},
    {115, "KBX中文主机：词组5个汉字字母数字，数字输入%1或者１(全角)，字母输入%a%A或者ａＡ(全角)"},
    {135, "KBX英文主机：词组为控制器中固定的，此软件编辑的词组，控制器不识别"},
    {155, "KBX主机逻辑：关键字和回路数字大写小写均可"},
    {195,
     "Excel模板：也可以直接使用NewVel模板，XY和扩展类型部分不会识别。相关说明在模板文件中，生成标准"
     "或者示例模板中均有"},
    {235, "由于[总线设备]-[详细信息]界面内容较多，受排版和分辨率限制，使用了微软雅黑字体"},
    {255, "Windows XP及以下版本系统请自行安装微软雅黑字体，否则显示不是很正确"},
    {295, "当从Excel表格文件导入和导出时，如果数据量比较大，时间会较长，请耐心等待"},
};

constexpr int kNotesX = 15;

}  // namespace

MainView::MainView(QWidget* parent) : QWidget(parent), progress_(new QProgressBar(this)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    progress_->setObjectName(QStringLiteral("progress1001"));
    progress_->setGeometry(16, 325, 546 - 16, 335 - 325);
    progress_->setRange(0, 1512);
    progress_->setValue(0);
    progress_->setTextVisible(false);
}

void MainView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = painter.fontMetrics().height();
    for (const NoteLine& line : kNotes) {
        painter.drawText(QRect(kNotesX, line.y, width() - kNotesX, lineHeight),
                         Qt::AlignLeft | Qt::AlignTop, gui::kit::Q(line.text));
    }
}

}  // namespace velsend::app
