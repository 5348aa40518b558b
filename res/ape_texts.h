// Texts shown by the APE codec. The %d texts take a result code of the APE library.
#pragma once

namespace texts {

// Opening a file for decoding, and a damaged frame while decoding.
inline constexpr const char kApeOpenError[] = "打开 APE 文件错误(错误代码： %d)\r\n";
inline constexpr const char kApeDecompressError[] = "解压缩错误 (包含校验值，但文件可能已损坏)\r\n";

// Writing.
inline constexpr const char kApeCreateEncoderError[] = "创建编码器错误 (错误代码： %d)";
inline constexpr const char kApeStartError[] = "开始编码错误。";
inline constexpr const char kApeEncodeError[] = "编码错误(错误代码： %d)";
inline constexpr const char kApeFinishError[] = "结束编码错误。";

}  // namespace texts
