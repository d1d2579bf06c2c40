// Message texts that many commands and the run-time share, in CP932. Each is
// a format for Interpreter::Raise ("%s" is filled in order).
#pragma once

#include <string>

#include "text/encoding.h"

namespace sorane::msg {

inline const std::string& BadArgument() {
  return SJ("\"%s\"命令の引数に誤りがあります。");
}
inline const std::string& BadSyntax() {
  return SJ("\"%s\"は、文法が正しくないため、実行できません。");
}
inline const std::string& UndefinedLabel() {
  return SJ("未定義のラベル\"%s\"に、ジャンプしようとしました。");
}
inline const std::string& VariableNotFound() {
  return SJ("変数\"%s\"が見つかりません。");
}
inline const std::string& ObjectNotFound() {
  return SJ("オブジェクト\"%s\"が特定できません。");
}
inline const std::string& LinkBroken() {
  return SJ("\"%s\":そらね命令のリンク切れ。作者へ報告を！");
}
inline const std::string& FileFailure() {
  return SJ("ファイル\"%s\"の、読み込みか書き込みに、失敗しました。");
}
inline const std::string& FileMissing() {
  return SJ("ファイル\"%s\"が、ありません。");
}
inline const std::string& UnknownSystemError() {
  return SJ("特定できないシステムエラーです(ToT)");
}
inline const std::string& Reserved() {
  return SJ("\"%s\"は予約語なので、登録できません。");
}
inline const std::string& ReadOnly() {
  return SJ("\"%s\"は、読取専用です。");
}

}  // namespace sorane::msg
