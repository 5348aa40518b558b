// Texts of the three encoder settings dialogs (templates 169, 170, 171).
#pragma once

namespace texts {

// MP3 dialog (template 169).
inline constexpr const char kMp3ConfigCaption[] = "MP3 编码配置";
inline constexpr const char kMp3ResampleLabel[] = "重采样率";
inline constexpr const char kMp3NoResample[] = "不重采样";
inline constexpr const char kMp3EncoderDecides[] = "编码决定";
inline constexpr const char kMp3StereoLabel[] = "立体声模式";
inline constexpr const char* kMp3StereoModes[] = {"立体声", "混合立体声", "双声道"};
inline constexpr const char kMp3PresetLabel[] = "品质预设";
inline constexpr const char* kMp3Presets[] = {"标准", "低", "高", "嗓音", "R3Mix", "很高"};
inline constexpr const char kMp3Copyright[] = "版权比特";
inline constexpr const char kMp3Crc[] = "CRC 比特";
inline constexpr const char kMp3Original[] = "原始比特";
inline constexpr const char kMp3Private[] = "私人比特";
inline constexpr const char kMp3MethodGroup[] = "编码方法";
inline constexpr const char kMp3Cbr[] = "CBR(不变比特率编码)";
inline constexpr const char kMp3Vbr[] = "VBR(动态比特率编码)";
inline constexpr const char kMp3Abr[] = "ABR(平均比特率编码)";
inline constexpr const char kMp3VbrGroup[] = "VBR";
inline constexpr const char kMp3VbrMethodLabel[] = "VBR 方法";
inline constexpr const char* kMp3VbrMethods[] = {"默认", "可靠", "更快"};
inline constexpr const char kMp3VbrQualityLabel[] = "VBR 品质";
inline constexpr const char kMp3QualityHighest[] = "%d(最高)";
inline constexpr const char kMp3QualityLowest[] = "%d(最低)";
inline constexpr const char kMp3MaxVbrLabel[] = "最大 VBR 比特率";
inline constexpr const char kMp3WriteVbrHeader[] = "写入 VBR 头部";

// Ogg dialog (template 170).
inline constexpr const char kOggConfigCaption[] = "Ogg 编码配置 ...";
inline constexpr const char kOggExplanation[] =
    "尽管 Ogg 编码原本为 VBR，但你仍旧可以通过强制设置使用最小或最大值来更改流体的比特率。 "
    "这个特性仅在要求限制比特率的情况下才可使用。尽管这种差异通常很轻微， "
    "但控制的比特率通常将导致输出次于 VBR (给定相同比特率的情况下)。 "
    "过度设置或需求不可能的高比特率将导致输出品质戏剧性地变成最差。";
inline constexpr const char kOggSetMax[] = "设置最大比特率";
inline constexpr const char kOggSetMin[] = "设置最小比特率";
inline constexpr const char kOggMaxNotPositive[] = "最大比特率必须为正数。";
inline constexpr const char kOggMinNotPositive[] = "最小比特率必须为正数。";

// APE dialog (template 171).
inline constexpr const char kApeConfigCaption[] = "APE 编码配置 ...";
inline constexpr const char kApeLevelLabel[] = "压缩级别";
inline constexpr const char* kApeLevels[] = {"快", "标准", "高", "特高", "极高"};

inline constexpr const char kConfigCancel[] = "取消";

}  // namespace texts
