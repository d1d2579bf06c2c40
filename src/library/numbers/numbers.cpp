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

// Every result sets それ's value, the result type (SoreType) and それ's own
// type mark (c.Return*), since a call in an expression reports that mark as the
// type of its result. Integer results are written in full (ReturnInt), without
// the 15-digit limit of numbers.

Number Take(Interpreter& in, MathResult r) {
  if (r.fault != MathFault::None) in.Raise(FaultMessage(r.fault));
  return r.value;
}

// ---------------------------------------------------------------- functions

constexpr Number kPi = std::numbers::pi_v<Number>;

MathResult Abs(Number x) {
  return Checked(std::fabs(x));
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
void CmdUnary(Call& c) {
  Number x = c.Num(0);
  c.ReturnNumber(Take(c.in, F(x)));
}

// Two numbers in template order (the second is read first).
template <MathResult (*F)(Number, Number)>
void CmdBinary(Call& c) {
  Number b = c.Num(1);
  Number a = c.Num(0);
  c.ReturnNumber(Take(c.in, F(a, b)));
}

// The same computations for an expression that has the numbers already (see
// NumericForm); a fault is left to the handler, which raises it.
template <MathResult (*F)(Number)>
bool Unary(const Number* args, Number& result) {
  MathResult r = F(args[0]);
  result = r.value;
  return r.fault == MathFault::None;
}
template <MathResult (*F)(Number, Number)>
bool Binary(const Number* args, Number& result) {
  MathResult r = F(args[0], args[1]);
  result = r.value;
  return r.fault == MathFault::None;
}
template <MathResult (*F)(Number)>
constexpr NumericForm UnaryForm(CommandId id) {
  return {id, CmdUnary<F>, Unary<F>, 1};
}
template <MathResult (*F)(Number, Number)>
constexpr NumericForm BinaryForm(CommandId id) {
  return {id, CmdBinary<F>, Binary<F>, 2};
}

// ---------------------------------------------------------------- integers and rounding

// 整数, INT and TRUNC cut the fraction off; ROUND rounds half to even; CEIL
// and FLOOR give 32-bit integers.
int64_t Truncated(Number x) {
  return ToInt64(x);
}
int64_t CeilingOf(Number x) {
  return ToInt32(std::ceil(x));
}
int64_t FloorOf(Number x) {
  return ToInt32(std::floor(x));
}

template <int64_t (*F)(Number)>
void CmdWhole(Call& c) {
  c.ReturnInt(F(c.Num(0)));
}

// The same for an expression (see NumericForm), while the integer is below
// 10^15: the handler writes every digit of it, which the number format does
// up to there, so the expression reads the same number from either.
template <int64_t (*F)(Number)>
bool Whole(const Number* args, Number& result) {
  const int64_t whole = F(args[0]);
  if (!WrittenWithAllDigits(whole)) return false;
  result = static_cast<Number>(whole);
  return true;
}
template <int64_t (*F)(Number)>
constexpr NumericForm WholeForm(CommandId id) {
  return {id, CmdWhole<F>, Whole<F>, 1, F == Truncated};
}

template <Number (*F)(Number, long long)>
void CmdDecimalPlaces(Call& c) {
  long long places = c.Int(1);
  Number x = c.Num(0);
  c.ReturnNumber(F(x, places));
}

void CmdFrac(Call& c) {
  c.Return(FracText(c.Text(0)), "e");
}

template <int32_t (*F)(int32_t, int32_t)>
void CmdBits(Call& c) {
  int32_t b = ToInt32(c.Num(1));
  int32_t a = ToInt32(c.Num(0));
  c.ReturnInt(F(a, b));
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

void CmdNot(Call& c) {
  c.ReturnInt(c.Int(0) == 0 ? 1 : 0);
}

void CmdMod(Call& c) {
  int64_t b = c.Int(1);
  int64_t a = c.Int(0);
  c.ReturnInt(static_cast<int64_t>(Take(c.in, Mod(a, b))));
}

void CmdShiftRight(Call& c) {
  int64_t bits = c.Int(1);
  int32_t a = ToInt32(c.Num(0));
  c.ReturnInt(ShiftRight(a, bits));
}

void CmdShiftLeft(Call& c) {
  int64_t bits = c.Int(1);
  int32_t a = ToInt32(c.Num(0));
  c.ReturnInt(ShiftLeft(a, bits));
}

void CmdHex(Call& c) {
  c.Return(HexText(c.Int(0)), "e");
}

// ---------------------------------------------------------------- statistics

template <Number (*F)(const std::vector<Number>&)>
void CmdList(Call& c) {
  c.ReturnNumber(F(NumberList(c.Text(0))));
}

void CmdStdDev(Call& c) {
  c.ReturnNumber(Take(c.in, ListStdDev(NumberList(c.Text(0)))));
}

// ---------------------------------------------------------------- random

// The bound is an integer text; anything else means 100.
void CmdRandom(Call& c) {
  long long n = 0;
  if (!TryParseInteger(c.Text(0), n)) n = 100;
  c.ReturnInt(DrawBelow(c.in.S.Random, n));
}

void CmdRandomReal(Call& c) {
  c.ReturnNumber(DrawReal(c.in.S.Random));
}

// -1 reseeds unpredictably; any other seed starts a repeatable sequence.
void CmdRandomize(Call& c) {
  int64_t seed = c.Int(0);
  if (seed == -1) {
    c.in.S.Random.seed(std::random_device{}());
  } else {
    c.in.S.Random.seed(static_cast<uint64_t>(seed));
  }
}

void CmdShuffle(Call& c) {
  c.ReturnText(ShuffleLines(c.Text(0), c.in.S.Random));
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

// The target is slot 0; the commands read it after their operand.
Target FindTarget(Call& c) {
  const std::string& raw = c.Raw(0);
  THashNode* w = c.in.S.Words.FindExact(raw);
  if (w && w->Kind != kWordVariable) w = nullptr;
  if (w) return {w, w->Value()};
  return {nullptr, c.in.Evaluate(raw)};
}

void Store(Call& c, const Target& t, std::string result, const std::string& type) {
  if (t.word) {
    t.word->ValueToWrite() = result;
    t.word->TypeMark = type;
  }
  c.Return(std::move(result), type.c_str());
}

// 足す adds numbers and joins texts: the value's own type decides.
void CmdAdd(Call& c) {
  std::string value = c.Text(1);
  std::string type = c.in.S.SoreType;
  Target t = FindTarget(c);
  std::string result =
      type == "e" ? FormatNumber(Take(c.in, Checked(ParseNumber(t.current) + ParseNumber(value))))
                  : t.current + value;
  Store(c, t, std::move(result), type);
}

template <MathResult (*F)(Number, Number)>
void CmdUpdate(Call& c) {
  Number value = c.Num(1);
  Target t = FindTarget(c);
  Number result = Take(c.in, F(ParseNumber(t.current), value));
  Store(c, t, FormatNumber(result), "e");
}

MathResult Subtract(Number a, Number b) {
  return Checked(a - b);
}
MathResult Multiply(Number a, Number b) {
  return Checked(a * b);
}

}  // namespace

std::span<const NumericForm> NumberNumericForms() {
  // The commands with the template "?" or "?,?" whose handler is CmdUnary or
  // CmdBinary (those with particles bind their items differently).
  static constexpr NumericForm kForms[] = {
      UnaryForm<Sin>(CommandId::Sin),
      UnaryForm<Cos>(CommandId::Cos),
      UnaryForm<Tan>(CommandId::Tan),
      UnaryForm<Abs>(CommandId::Abs),
      UnaryForm<Exp>(CommandId::Exp),
      UnaryForm<Ln>(CommandId::Ln),
      UnaryForm<Sqrt>(CommandId::Sqrt),
      UnaryForm<Log2>(CommandId::Log2),
      UnaryForm<Log10>(CommandId::Log10),
      UnaryForm<ArcTan>(CommandId::ArcTan),
      UnaryForm<ArcCos>(CommandId::ArcCos),
      UnaryForm<ArcSin>(CommandId::ArcSin),
      BinaryForm<LogBase>(CommandId::LogBase),
      BinaryForm<Power>(CommandId::Power),
      BinaryForm<Hypot>(CommandId::Hypot),
      WholeForm<Truncated>(CommandId::Integer),
      WholeForm<Truncated>(CommandId::Int),
      WholeForm<Truncated>(CommandId::Trunc),
      WholeForm<RoundHalfEven>(CommandId::Round),
      WholeForm<CeilingOf>(CommandId::Ceil),
      WholeForm<FloorOf>(CommandId::Floor),
  };
  return kForms;
}

CommandTable NumberCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Random, "乱数", "?の", CmdRandom, kPure},
      {CommandId::Integer, "整数", "?", CmdWhole<Truncated>, kPure},
      {CommandId::TruncatePlaces, "切り捨て", "?を,?位で", CmdDecimalPlaces<TruncDecimal>, kPure},
      {CommandId::RoundPlaces, "四捨五入", "?を,?位で", CmdDecimalPlaces<RoundDecimal>, kPure},
      {CommandId::Sin, "サイン", "?", CmdUnary<Sin>, kPure},
      {CommandId::Sin, "SIN", "?", CmdUnary<Sin>, kPure},
      {CommandId::Cos, "コサイン", "?", CmdUnary<Cos>, kPure},
      {CommandId::Cos, "COS", "?", CmdUnary<Cos>, kPure},
      {CommandId::Tan, "タンジェント", "?", CmdUnary<Tan>, kPure},
      {CommandId::Tan, "TAN", "?", CmdUnary<Tan>, kPure},
      {CommandId::Abs, "ABS", "?", CmdUnary<Abs>, kPure},
      {CommandId::Ceil, "CEIL", "?", CmdWhole<CeilingOf>, kPure},
      {CommandId::Exp, "EXP", "?", CmdUnary<Exp>, kPure},
      {CommandId::Floor, "FLOOR", "?", CmdWhole<FloorOf>, kPure},
      {CommandId::Frac, "FRAC", "?", CmdFrac, kPure},
      {CommandId::Int, "INT", "?", CmdWhole<Truncated>, kPure},
      {CommandId::Ln, "LN", "?", CmdUnary<Ln>, kPure},
      {CommandId::LogBase, "LOG", "?,?", CmdBinary<LogBase>, kPure},
      {CommandId::Power, "POWER", "?,?", CmdBinary<Power>, kPure},
      {CommandId::Round, "ROUND", "?", CmdWhole<RoundHalfEven>, kPure},
      {CommandId::Sqrt, "SQRT", "?", CmdUnary<Sqrt>, kPure},
      {CommandId::Trunc, "TRUNC", "?", CmdWhole<Truncated>, kPure},
      {CommandId::RandomReal, "RND", "", CmdRandomReal, kPure},
      {CommandId::Randomize, "乱数初期化", "?で", CmdRandomize, kPure},
      {CommandId::Log2, "LOG2", "?", CmdUnary<Log2>, kPure},
      {CommandId::Log10, "LOG10", "?", CmdUnary<Log10>, kPure},
      {CommandId::ArcTan, "ARCTAN", "?", CmdUnary<ArcTan>, kPure},
      {CommandId::ArcCos, "ARCCOS", "?", CmdUnary<ArcCos>, kPure},
      {CommandId::ArcSin, "ARCSIN", "?", CmdUnary<ArcSin>, kPure},
      {CommandId::Hypot, "HYPOT", "?,?", CmdBinary<Hypot>, kPure},
      {CommandId::CycleToRadian, "サイクルからラジアン", "?を", CmdUnary<CycleToRad>, kPure},
      {CommandId::DegreeToRadian, "度からラジアン", "?を", CmdUnary<DegToRad>, kPure},
      {CommandId::GradToRadian, "グラードからラジアン", "?を", CmdUnary<GradToRad>, kPure},
      {CommandId::RadianToCycle, "ラジアンからサイクル", "?を", CmdUnary<RadToCycle>, kPure},
      {CommandId::RadianToDegree, "ラジアンから度", "?を", CmdUnary<RadToDeg>, kPure},
      {CommandId::RadianToGrad, "ラジアンからグラード", "?を", CmdUnary<RadToGrad>, kPure},
      {CommandId::ListSum, "配列合計値", "?の", CmdList<ListSum>, kPure},
      {CommandId::ListSum, "SUM", "?", CmdList<ListSum>, kPure},
      {CommandId::ListAverage, "配列平均値", "?の", CmdList<ListMean>, kPure},
      {CommandId::ListAverage, "AVERAGE", "?", CmdList<ListMean>, kPure},
      {CommandId::ListVariance, "配列分散値", "?の", CmdList<ListVariance>, kPure},
      {CommandId::ListVariance, "VAR", "?", CmdList<ListVariance>, kPure},
      {CommandId::StdDev, "標準偏差値", "?の", CmdStdDev, kPure},
      {CommandId::StdDev, "STDEV", "?", CmdStdDev, kPure},
      {CommandId::ListMax, "配列最大値", "?の", CmdList<ListMax>, kPure},
      {CommandId::ListMin, "配列最小値", "?の", CmdList<ListMin>, kPure},
      {CommandId::Add, "足す", "?に,?を", CmdAdd, kPure},
      {CommandId::Subtract, "引く", "?から,?を", CmdUpdate<Subtract>, kPure},
      {CommandId::Multiply, "掛ける", "?に,?を", CmdUpdate<Multiply>, kPure},
      {CommandId::Divide, "割る", "?を,?で", CmdUpdate<Divide>, kPure},
      {CommandId::Shuffle, "配列シャッフル", "?を", CmdShuffle, kPure},
      {CommandId::BitAnd, "AND", "?と,?の", CmdBits<BitAnd>, kPure},
      {CommandId::BitOr, "OR", "?と,?の", CmdBits<BitOr>, kPure},
      {CommandId::BitXor, "XOR", "?と,?の", CmdBits<BitXor>, kPure},
      {CommandId::Mod, "MOD", "?と,?の", CmdMod, kPure},
      {CommandId::Mod, "余り", "?と,?の", CmdMod, kPure},
      {CommandId::ShiftRight, "SHR", "?を,?ビット", CmdShiftRight, kPure},
      {CommandId::ShiftRight, "右シフト", "?を,?ビット", CmdShiftRight, kPure},
      {CommandId::ShiftLeft, "SHL", "?を,?ビット", CmdShiftLeft, kPure},
      {CommandId::ShiftLeft, "左シフト", "?を,?ビット", CmdShiftLeft, kPure},
      {CommandId::Hex, "HEX", "?", CmdHex, kPure},
      {CommandId::Not, "NOT", "?の", CmdNot, kPure},
  };
  return kRows;
}

}  // namespace sorane
