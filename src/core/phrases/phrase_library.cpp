#include "core/phrases/phrase_library.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <span>

#include "base/file_write.h"
#include "base/gbk.h"
#include "base/project_lock.h"

namespace velsend::phrases {
namespace {

using store::ProjectFile;

struct CommonRun {
    int first;
    std::initializer_list<std::string_view> texts;  // UTF-8 here, GBK in the file
};

const CommonRun kCommonRuns[] = {
    {1, {"东", "西", "南", "北", "中", "左", "右", "前", "后", "上", "下"}},
    {16, {"暗室", "吧台", "包房", "泵房", "病房", "餐厅", "车间", "车库", "厨房", "大厅",
          "东北", "东南", "花房", "机房", "夹层", "教室", "金库", "酒吧", "客厅", "库房",
          "楼道", "门卫", "偏北", "偏东", "偏南", "偏西", "前台", "琴房", "书房", "竖井",
          "卧室", "西北", "西南", "药房", "浴室", "诊室", "中厅", "走廊"}},
    {64,
     {"办公区", "办公室", "播音室", "财务室", "操作间", "大户室", "低压室", "地下室", "电池室",
      "电梯间", "钢瓶间", "高压室", "更衣室", "汇接室", "会客室", "会议室", "绘图室", "活动室",
      "计量室", "健身房", "接待室", "警卫室", "咖啡厅", "控制室", "垃圾间", "楼梯口", "煤气室",
      "美容室", "培训室", "配菜间", "配电室", "棋牌室", "气表间", "洽谈室", "强电井", "弱电井",
      "设备间", "审讯室", "实验室", "收费室", "手术室", "探测室", "调音室", "卫生间", "洗衣房",
      "休息室", "娱乐厅", "阅览室", "运行室", "值班室", "中户室", "中控室", "主卧室", "贮藏室"}},
    // 130 keeps its trailing blank: the controller shows it.
    {128,
     {"电梯前室", "多功能厅", "交易大厅 ", "%K%B%C包房", "男更衣室", "男卫生间", "女更衣室",
      "女卫生间", "排烟机房", "喷淋泵房", "消防泵房"}},
    {160,
     {"经理室", "书记室", "厂长室", "总裁室", "副总裁室", "副厂长室", "总经理室", "副总经理室",
      "董事长室"}},
};

}  // namespace

PhraseImage ReadPhraseLibrary(const store::ProjectDir& dir) {
    const auto bytes = store::ReadFixed(dir.PathOf(ProjectFile::Phrases), kLibrarySize);
    PhraseImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

base::Result<> EnsurePhraseFile(const store::ProjectDir& dir) {
    const std::filesystem::path path = dir.PathOf(ProjectFile::Phrases);
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return base::Ok();
    return base::WriteWholeFile(path, {});
}

base::Result<> WritePhraseLibrary(const store::ProjectDir& dir, const PhraseImage& image) {
    return base::WriteFileStart(dir.PathOf(ProjectFile::Phrases), image);
}

base::Result<> WritePhrase(const store::ProjectDir& dir, int number, const PhraseImage& image) {
    const std::size_t offset = static_cast<std::size_t>(number) * kPhraseSize;
    const base::ChangeText what("词库编辑：词组 " + std::to_string(number));
    return base::WriteFileAt(dir.PathOf(ProjectFile::Phrases), offset,
                             std::span<const std::uint8_t>(image).subspan(offset, kPhraseSize));
}

base::Result<> SavePhraseEdit(const store::ProjectDir& dir, PhraseImage& shown, int number,
                              const PhraseImage& edited) {
    constexpr auto kSize = static_cast<std::ptrdiff_t>(kPhraseSize);
    const std::ptrdiff_t begin = number * kSize;
    const auto same = [begin](const PhraseImage& a, const PhraseImage& b) {
        return std::equal(a.begin() + begin, a.begin() + begin + kSize, b.begin() + begin);
    };
    if (same(edited, shown)) return base::Ok();
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    const std::filesystem::path path = dir.PathOf(ProjectFile::Phrases);
    const auto bytes = store::TryReadFixed(path, kLibrarySize);
    if (!bytes)
        return base::Error{base::WriteFailedText(path), bytes.error().reason, bytes.error().code};
    PhraseImage onDisk{};
    std::copy(bytes->begin(), bytes->end(), onDisk.begin());
    if (!same(onDisk, shown) && !same(onDisk, edited)) {
        shown = onDisk;
        return base::EditClash("词组 " + std::to_string(number) + " ",
                               "\n文件中的：" + base::GbkToUtf8(PhraseText(shown, number)) +
                                   "；您改的：" + base::GbkToUtf8(PhraseText(edited, number)));
    }
    std::copy(edited.begin() + begin, edited.begin() + begin + kSize, onDisk.begin() + begin);
    auto written = WritePhrase(dir, number, onDisk);
    if (written) shown = onDisk;
    return written;
}

std::string PhraseText(const PhraseImage& image, int number) {
    return base::FieldText(std::span<const std::uint8_t>(image).subspan(
        static_cast<std::size_t>(number) * kPhraseSize, kPhraseSize));
}

void SetPhrase(PhraseImage& image, int number, std::string_view gbk) {
    const auto field = base::MakeField(base::UpperAscii(gbk), kPhraseSize);
    std::copy(field.begin(), field.end(),
              image.begin() + static_cast<std::ptrdiff_t>(number) * kPhraseSize);
}

PhraseImage CommonPhrases() {
    PhraseImage image{};
    for (const CommonRun& run : kCommonRuns) {
        int n = run.first;
        for (std::string_view text : run.texts) {
            const std::string gbk = base::Utf8ToGbk(text).value_or(std::string());
            std::copy(gbk.begin(), gbk.end(),
                      image.begin() + static_cast<std::ptrdiff_t>(n) * kPhraseSize);
            ++n;
        }
    }
    return image;
}

base::Result<> InitialisePhrases(const store::ProjectDir& dir, int mode) {
    const base::ChangeText what(mode == kInitCommon ? "初始化为常用词组" : "词库全部初始化为空");
    return WritePhraseLibrary(dir, mode == kInitCommon ? CommonPhrases() : PhraseImage{});
}

}  // namespace velsend::phrases
