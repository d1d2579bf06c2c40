// The number commands: rounding, elementary functions, integer and bit
// operations, statistics over lists, random numbers, and arithmetic that
// updates a variable in place. The arithmetic itself is in numbers_math.cpp.
#include <cmath>
#include <numbers>
#include <string>

#include "library/library.h"
#include "library/numbers/numbers_math.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// Every result sets それ's value and the result type (SoreType) and writes the
// type into それ's own type mark too, since a call in an expression reports
// that mark as the type of its result.
void SetResult(Interpreter& in, std::string value, const char* type) {
  in.SetSore(std::move(value), type);
  in.S.Fast.Sore->TypeMark = type;
}

void SetNumber(Interpreter& in, Number v) {
  SetResult(in, FormatNumber(v), "e");
}

// Integer results are written in full, without the 15-digit limit.
void SetInteger(Interpreter& in, int64_t v) {
  SetResult(in, std::to_string(v), "e");
}

Number Take(Interpreter& in, MathResult r) {
  if (r.fault != MathFault::None) in.Raise(FaultMessage(r.fault));
  return r.value;
}

// ---------------------------------------------------------------- functions

constexpr Number kPi = std::numbers::pi_v<Number>;

MathResult Abs(Number x) {
  return Checked(std::fabs(x));
}
MathResult Sin(Number x) {
  return Checked(std::sin(x));
}
MathResult Cos(Number x) {
  return Checked(std::cos(x));
}
MathResult Tan(Number x) {
  return Checked(std::tan(x));
}
MathResult ArcTan(Number x) {
  return Checked(std::atan(x));
}
MathResult DegToRad(Number x) {
  return Checked(x * kPi / 180);
}
MathResult RadToDeg(Number x) {
  return Checked(x * 180 / kPi);
}
MathResult GradToRad(Number x) {
  return Checked(x * kPi / 200);
}
MathResult RadToGrad(Number x) {
  return Checked(x * 200 / kPi);
}
MathResult CycleToRad(Number x) {
  return Checked(x * 2 * kPi);
}
MathResult RadToCycle(Number x) {
  return Checked(x / (2 * kPi));
}
MathResult Hypot(Number x, Number y) {
  return Checked(std::hypot(x, y));
}

// One number in, one number out.
template <MathResult (*F)(Number)>
void CmdUnary(Interpreter& in, THashNode&) {
  Number x = in.PopNumber();
  SetNumber(in, Take(in, F(x)));
}

// Two numbers in template order.
template <MathResult (*F)(Number, Number)>
void CmdBinary(Interpreter& in, THashNode&) {
  Number b = in.PopNumber();
  Number a = in.PopNumber();
  SetNumber(in, Take(in, F(a, b)));
}

// ---------------------------------------------------------------- integers and rounding

void CmdTrunc(Interpreter& in, THashNode&) {
  SetInteger(in, ToInt64(in.PopNumber()));
}
void CmdRound(Interpreter& in, THashNode&) {
  SetInteger(in, RoundHalfEven(in.PopNumber()));
}
void CmdCeil(Interpreter& in, THashNode&) {
  SetInteger(in, ToInt32(std::ceil(in.PopNumber())));
}
void CmdFloor(Interpreter& in, THashNode&) {
  SetInteger(in, ToInt32(std::floor(in.PopNumber())));
}

template <Number (*F)(Number, long long)>
void CmdDecimalPlaces(Interpreter& in, THashNode&) {
  long long places = in.PopInt();
  Number x = in.PopNumber();
  SetNumber(in, F(x, places));
}

void CmdFrac(Interpreter& in, THashNode&) {
  SetResult(in, FracText(in.PopValue()), "e");
}

template <int32_t (*F)(int32_t, int32_t)>
void CmdBits(Interpreter& in, THashNode&) {
  int32_t b = ToInt32(in.PopNumber());
  int32_t a = ToInt32(in.PopNumber());
  SetInteger(in, F(a, b));
}

int32_t BitAnd(int32_t a, int32_t b) {
  return a & b;
}
int32_t BitOr(int32_t a, int32_t b) {
  return a | b;
}
int32_t BitXor(int32_t a, int32_t b) {
  return a ^ b;
}

void CmdNot(Interpreter& in, THashNode&) {
  SetInteger(in, in.PopInt() == 0 ? 1 : 0);
}

void CmdMod(Interpreter& in, THashNode&) {
  int64_t b = in.PopInt();
  int64_t a = in.PopInt();
  SetInteger(in, static_cast<int64_t>(Take(in, Mod(a, b))));
}

void CmdShiftRight(Interpreter& in, THashNode&) {
  int64_t bits = in.PopInt();
  int32_t a = ToInt32(in.PopNumber());
  SetInteger(in, ShiftRight(a, bits));
}

void CmdShiftLeft(Interpreter& in, THashNode&) {
  int64_t bits = in.PopInt();
  int32_t a = ToInt32(in.PopNumber());
  SetInteger(in, ShiftLeft(a, bits));
}

void CmdHex(Interpreter& in, THashNode&) {
  SetResult(in, HexText(in.PopInt()), "e");
}

// ---------------------------------------------------------------- statistics

template <Number (*F)(const std::vector<Number>&)>
void CmdList(Interpreter& in, THashNode&) {
  SetNumber(in, F(NumberList(in.PopValue())));
}

void CmdStdDev(Interpreter& in, THashNode&) {
  SetNumber(in, Take(in, ListStdDev(NumberList(in.PopValue()))));
}

// ---------------------------------------------------------------- random

// The bound is an integer text; anything else means 100.
void CmdRandom(Interpreter& in, THashNode&) {
  long long n = 0;
  if (!TryParseInteger(in.PopValue(), n)) n = 100;
  SetInteger(in, DrawBelow(in.S.Random, n));
}

void CmdRandomReal(Interpreter& in, THashNode&) {
  SetNumber(in, DrawReal(in.S.Random));
}

// -1 reseeds unpredictably; any other seed starts a repeatable sequence.
void CmdRandomize(Interpreter& in, THashNode&) {
  int64_t seed = in.PopInt();
  if (seed == -1) {
    in.S.Random.seed(std::random_device{}());
  } else {
    in.S.Random.seed(static_cast<uint64_t>(seed));
  }
}

void CmdShuffle(Interpreter& in, THashNode&) {
  SetResult(in, ShuffleLines(in.PopValue(), in.S.Random), "s");
}

// ---------------------------------------------------------------- variables

// The variable-updating convention: the first argument is a name taken as
// written. When it names a variable, that variable's value is the operand and
// receives the result; otherwise the name is evaluated as an expression and only
// それ receives the result.
struct Target {
  THashNode* word;
  std::string current;
};

Target FindTarget(Interpreter& in) {
  std::string raw = in.PopRaw();
  THashNode* w = in.S.Words.FindExact(raw);
  if (w && w->Kind != kWordVariable) w = nullptr;
  if (w) return {w, w->Value};
  return {nullptr, in.Evaluate(raw)};
}

void Store(Interpreter& in, const Target& t, std::string result, const std::string& type) {
  if (t.word) {
    t.word->Value = result;
    t.word->TypeMark = type;
  }
  in.SetSore(std::move(result), type.c_str());
  in.S.Fast.Sore->TypeMark = type;
}

// 足す adds numbers and joins texts: the value's own type decides.
void CmdAdd(Interpreter& in, THashNode&) {
  std::string value = in.PopValue();
  std::string type = in.S.SoreType;
  Target t = FindTarget(in);
  std::string result =
      type == "e" ? FormatNumber(Take(in, Checked(ParseNumber(t.current) + ParseNumber(value))))
                  : t.current + value;
  Store(in, t, std::move(result), type);
}

template <MathResult (*F)(Number, Number)>
void CmdUpdate(Interpreter& in, THashNode&) {
  Number value = in.PopNumber();
  Target t = FindTarget(in);
  Number result = Take(in, F(ParseNumber(t.current), value));
  Store(in, t, FormatNumber(result), "e");
}

MathResult Subtract(Number a, Number b) {
  return Checked(a - b);
}
MathResult Multiply(Number a, Number b) {
  return Checked(a * b);
}

}  // namespace

CommandTable NumberCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Random, "乱数", "?の", Popping<CmdRandom>, kPure},
      {CommandId::Integer, "整数", "?", Popping<CmdTrunc>, kPure},
      {CommandId::TruncatePlaces, "切り捨て", "?を,?位で", Popping<CmdDecimalPlaces<TruncDecimal>>,
       kPure},
      {CommandId::RoundPlaces, "四捨五入", "?を,?位で", Popping<CmdDecimalPlaces<RoundDecimal>>,
       kPure},
      {CommandId::Sin, "サイン", "?", Popping<CmdUnary<Sin>>, kPure},
      {CommandId::Sin, "SIN", "?", Popping<CmdUnary<Sin>>, kPure},
      {CommandId::Cos, "コサイン", "?", Popping<CmdUnary<Cos>>, kPure},
      {CommandId::Cos, "COS", "?", Popping<CmdUnary<Cos>>, kPure},
      {CommandId::Tan, "タンジェント", "?", Popping<CmdUnary<Tan>>, kPure},
      {CommandId::Tan, "TAN", "?", Popping<CmdUnary<Tan>>, kPure},
      {CommandId::Abs, "ABS", "?", Popping<CmdUnary<Abs>>, kPure},
      {CommandId::Ceil, "CEIL", "?", Popping<CmdCeil>, kPure},
      {CommandId::Exp, "EXP", "?", Popping<CmdUnary<Exp>>, kPure},
      {CommandId::Floor, "FLOOR", "?", Popping<CmdFloor>, kPure},
      {CommandId::Frac, "FRAC", "?", Popping<CmdFrac>, kPure},
      {CommandId::Int, "INT", "?", Popping<CmdTrunc>, kPure},
      {CommandId::Ln, "LN", "?", Popping<CmdUnary<Ln>>, kPure},
      {CommandId::LogBase, "LOG", "?,?", Popping<CmdBinary<LogBase>>, kPure},
      {CommandId::Power, "POWER", "?,?", Popping<CmdBinary<Power>>, kPure},
      {CommandId::Round, "ROUND", "?", Popping<CmdRound>, kPure},
      {CommandId::Sqrt, "SQRT", "?", Popping<CmdUnary<Sqrt>>, kPure},
      {CommandId::Trunc, "TRUNC", "?", Popping<CmdTrunc>, kPure},
      {CommandId::RandomReal, "RND", "", Popping<CmdRandomReal>, kPure},
      {CommandId::Randomize, "乱数初期化", "?で", Popping<CmdRandomize>, kPure},
      {CommandId::Log2, "LOG2", "?", Popping<CmdUnary<Log2>>, kPure},
      {CommandId::Log10, "LOG10", "?", Popping<CmdUnary<Log10>>, kPure},
      {CommandId::ArcTan, "ARCTAN", "?", Popping<CmdUnary<ArcTan>>, kPure},
      {CommandId::ArcCos, "ARCCOS", "?", Popping<CmdUnary<ArcCos>>, kPure},
      {CommandId::ArcSin, "ARCSIN", "?", Popping<CmdUnary<ArcSin>>, kPure},
      {CommandId::Hypot, "HYPOT", "?,?", Popping<CmdBinary<Hypot>>, kPure},
      {CommandId::CycleToRadian, "サイクルからラジアン", "?を", Popping<CmdUnary<CycleToRad>>,
       kPure},
      {CommandId::DegreeToRadian, "度からラジアン", "?を", Popping<CmdUnary<DegToRad>>, kPure},
      {CommandId::GradToRadian, "グラードからラジアン", "?を", Popping<CmdUnary<GradToRad>>, kPure},
      {CommandId::RadianToCycle, "ラジアンからサイクル", "?を", Popping<CmdUnary<RadToCycle>>,
       kPure},
      {CommandId::RadianToDegree, "ラジアンから度", "?を", Popping<CmdUnary<RadToDeg>>, kPure},
      {CommandId::RadianToGrad, "ラジアンからグラード", "?を", Popping<CmdUnary<RadToGrad>>, kPure},
      {CommandId::ListSum, "配列合計値", "?の", Popping<CmdList<ListSum>>, kPure},
      {CommandId::ListSum, "SUM", "?", Popping<CmdList<ListSum>>, kPure},
      {CommandId::ListAverage, "配列平均値", "?の", Popping<CmdList<ListMean>>, kPure},
      {CommandId::ListAverage, "AVERAGE", "?", Popping<CmdList<ListMean>>, kPure},
      {CommandId::ListVariance, "配列分散値", "?の", Popping<CmdList<ListVariance>>, kPure},
      {CommandId::ListVariance, "VAR", "?", Popping<CmdList<ListVariance>>, kPure},
      {CommandId::StdDev, "標準偏差値", "?の", Popping<CmdStdDev>, kPure},
      {CommandId::StdDev, "STDEV", "?", Popping<CmdStdDev>, kPure},
      {CommandId::ListMax, "配列最大値", "?の", Popping<CmdList<ListMax>>, kPure},
      {CommandId::ListMin, "配列最小値", "?の", Popping<CmdList<ListMin>>, kPure},
      {CommandId::Add, "足す", "?に,?を", Popping<CmdAdd>, kPure},
      {CommandId::Subtract, "引く", "?から,?を", Popping<CmdUpdate<Subtract>>, kPure},
      {CommandId::Multiply, "掛ける", "?に,?を", Popping<CmdUpdate<Multiply>>, kPure},
      {CommandId::Divide, "割る", "?を,?で", Popping<CmdUpdate<Divide>>, kPure},
      {CommandId::Shuffle, "配列シャッフル", "?を", Popping<CmdShuffle>, kPure},
      {CommandId::BitAnd, "AND", "?と,?の", Popping<CmdBits<BitAnd>>, kPure},
      {CommandId::BitOr, "OR", "?と,?の", Popping<CmdBits<BitOr>>, kPure},
      {CommandId::BitXor, "XOR", "?と,?の", Popping<CmdBits<BitXor>>, kPure},
      {CommandId::Mod, "MOD", "?と,?の", Popping<CmdMod>, kPure},
      {CommandId::Mod, "余り", "?と,?の", Popping<CmdMod>, kPure},
      {CommandId::ShiftRight, "SHR", "?を,?ビット", Popping<CmdShiftRight>, kPure},
      {CommandId::ShiftRight, "右シフト", "?を,?ビット", Popping<CmdShiftRight>, kPure},
      {CommandId::ShiftLeft, "SHL", "?を,?ビット", Popping<CmdShiftLeft>, kPure},
      {CommandId::ShiftLeft, "左シフト", "?を,?ビット", Popping<CmdShiftLeft>, kPure},
      {CommandId::Hex, "HEX", "?", Popping<CmdHex>, kPure},
      {CommandId::Not, "NOT", "?の", Popping<CmdNot>, kPure},
  };
  return kRows;
}

}  // namespace sorane
