#include "data/filter_compiler.h"

#include "data/text_utils.h"
#include "engine/api/dbi_api.h"
#include "engine/api/dbi_filter.h"
#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/core/format.h"
#include "platform/core/format_settings.h"
#include "data/dataset.h"
#include "platform/core/dialog_service.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <cstring>

namespace vl {

namespace {

constexpr std::uint16_t kFilterVersion = 1;
constexpr std::uint32_t kClassBinary = 2, kClassField = 4, kClassConst = 5;
constexpr std::uint32_t kOpField = 13, kOpConst = 14;
constexpr std::uint16_t kBcdSize = 34;
constexpr std::uint16_t kBcdPrecision = 32;
constexpr double kMsPerDay = 86400000.0;

// Constant node types of the engine, by operand code.
constexpr std::uint16_t kConstType[] = {0, 1, 7, 11, 2, 10, 4, 6, 8, 5};

bool InIdentStart(unsigned char c) {
    return c == '!' || c == '#' || c == '$' || c == '*' || c == '+' || c == '-' || c == '/' || c == '@' ||
           (c >= 'A' && c <= 'Z') || c == '_' || c == '`' || (c >= 'a' && c <= 'z') || c >= 0x92;
}
bool InIdentRest(unsigned char c) { return InIdentStart(c) || c == ' ' || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsRelChar(char c) { return c == '<' || c == '=' || c == '>'; }

bool IsRelationalOperator(const std::string& t) {
    return t == "<" || t == "<>" || t == "<=" || t == ">=" || t == "=" || t == ">";
}

std::uint32_t OperatorCode(const std::string& t) {
    static const struct { const char* text; std::uint32_t code; } kOps[] = {
        {"=", 3}, {"<>", 4}, {">", 5}, {"<", 6}, {">=", 7}, {"<=", 8},
        {"AND", 10}, {"OR", 11}, {"+", 16}, {"-", 15}, {"*", 18}, {"/", 19}};
    for (const auto& o : kOps)
        if (t == o.text) return o.code;
    return 0;
}

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
template <class T> std::vector<std::uint8_t> Bytes(T v) {
    std::vector<std::uint8_t> out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);  // little-endian, as the engine reads them
    return out;
}

// A quoted text loses its first and last characters, any other its trailing blanks.
std::string Unquoted(const std::string& text) {
    if (!text.empty() && text[0] == '"') return text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
    std::string s = text;
    TrimRightChars(s, " ");
    return s;
}

plat::TDateTime ReadDate(const std::string& s) {
    plat::TDateTime d;
    if (!plat::TryTextToDate(s, d)) throw plat::EConvertError("'" + s + "' is not a valid date");
    return d;
}

// The literal bytes of a constant written for its field's type; raises the
// conversion error for a text the type cannot read.
std::vector<std::uint8_t> ConstantValue(const TNode& n) {
    switch (n.DataType) {
    case ocString: {
        std::string s = Unquoted(n.Text);
        std::vector<std::uint8_t> out(s.begin(), s.end());
        out.push_back(0);
        return out;
    }
    case ocFloat: return Bytes(plat::StrToFloat(n.Text));
    case ocTimeStamp: {
        std::string s = Unquoted(n.Text);
        plat::TDateTime v;
        if (s.find(' ') != std::string::npos) {
            if (!plat::TryTextToDateTime(s, v, false))
                throw plat::EConvertError("'" + s + "' is not a valid date and time");
        } else {
            v = ReadDate(s);
        }
        const double day = std::floor(v) + plat::DateDelta;
        const double ms = std::round((v - std::floor(v)) * kMsPerDay);
        return Bytes(day * kMsPerDay + ms);
    }
    case ocDate:
        return Bytes(static_cast<std::int32_t>(std::floor(ReadDate(Unquoted(n.Text)))) + plat::DateDelta);
    case ocTime: {
        std::string s = Unquoted(n.Text);
        plat::TDateTime t;
        if (!plat::TryTextToTime(s, t)) throw plat::EConvertError("'" + s + "' is not a valid time");
        return Bytes(static_cast<std::int32_t>(std::lround(t * kMsPerDay)));
    }
    case ocBoolean: {
        std::string s = Unquoted(n.Text);
        return Bytes(static_cast<std::uint16_t>(!s.empty() && (s[0] == 'T' || s[0] == 't')));
    }
    case ocInteger: return Bytes(static_cast<std::int32_t>(plat::StrToInt(n.Text)));
    case ocBCD: {
        std::vector<std::uint8_t> out(kBcdSize, 0);
        double v = plat::StrToFloat(n.Text);
        if (qv::DbiBcdFromFloat(v, kBcdPrecision, static_cast<std::uint16_t>(n.Decimals), out.data()) != 0)
            throw plat::EConvertError("'" + n.Text + "' is not a valid BCD value");
        return out;
    }
    case ocSmallInt: return Bytes(static_cast<std::int16_t>(plat::StrToInt(n.Text) & 0xFFFF));
    default: return {};
    }
}

// One compilation: the input consumed from the front, the two stacks, and
// the fields that names are looked up in.
class TFilterCompiler {
public:
    explicit TFilterCompiler(const std::vector<TFilterField>& fields) : fields_(fields) {}

    std::optional<std::vector<std::uint8_t>> Compile(const std::string& text, TFilterFault& fault) {
        input_ = text;
        fault_ = TFilterFault::Syntax;
        if (!Logical()) {
            fault = fault_;
            return std::nullopt;
        }
        // Text after the chain would be a condition the user wrote and the
        // filter silently left out.
        StripLeadingBlanks();
        if (!input_.empty() || operands_.Count() != 1) {
            fault = TFilterFault::TrailingText;
            return std::nullopt;
        }
        std::unique_ptr<TNode> root = operands_.Pop();
        std::optional<std::vector<std::uint8_t>> out = Emit(*root, fault);
        if (out) fault = TFilterFault::None;
        return out;
    }

private:
    void StripLeadingBlanks() {
        std::size_t i = 0;
        while (i < input_.size() && (input_[i] == ' ' || input_[i] == '\t')) ++i;
        input_.erase(0, i);
    }

    // The next token at the front of the input, which is not consumed.
    std::string NextToken(bool connective) {
        StripLeadingBlanks();
        if (input_.empty()) return {};
        const std::string& s = input_;
        std::string tok;
        const char c = s[0];
        if (c == '(' || c == ')') {
            tok = std::string(1, c);
        } else if (IsRelChar(c)) {
            tok = s.size() > 1 && IsRelChar(s[1]) ? s.substr(0, 2) : s.substr(0, 1);
        } else if (connective && plat::AnsiUpperCase(s.substr(0, 3)) == "AND") {
            tok = s.substr(0, 3);
        } else if (connective && plat::AnsiUpperCase(s.substr(0, 2)) == "OR") {
            tok = s.substr(0, 2);
        } else if (IsDigit(c) || (c == '-' && s.size() > 1 && IsDigit(s[1]))) {
            // Before names: "-" starts a name too, and a name runs on across
            // blanks, so "-1 OR HelpId" would be read as one constant.
            std::size_t i = c == '-' ? 1 : 0;
            while (i < s.size() && IsDigit(s[i])) ++i;
            if (i < s.size() && s[i] == plat::CurrentFormatSettings().DecimalSeparator) {
                ++i;
                while (i < s.size() && IsDigit(s[i])) ++i;
            }
            tok = s.substr(0, i);
        } else if (InIdentStart(static_cast<unsigned char>(c))) {
            std::size_t i = 1;
            while (i < s.size() && InIdentRest(static_cast<unsigned char>(s[i]))) ++i;
            tok = s.substr(0, i);
        } else if (c == '"') {
            std::size_t close = s.find('"', 1);
            if (close != std::string::npos) tok = s.substr(0, close + 1);
        }
        while (!tok.empty() && tok.back() == ' ') tok.pop_back();
        return tok;
    }

    bool Accept(const std::string& tok) {
        if (tok.empty() || input_.compare(0, tok.size(), tok) != 0) return false;
        input_.erase(0, tok.size());
        symbols_.Push(tok);
        return true;
    }

    bool Reduce(int n, char letter) {
        if (symbols_.Count() < n) return false;
        for (int i = 0; i < n; ++i) symbols_.Pop();
        symbols_.Push(std::string(1, letter));
        return true;
    }

    // logical := relation { (AND | OR) relation }, equal precedence, from the left.
    // Grouping from the left, `a OR b OR c AND d` is `(a OR b OR c) AND d`:
    // each run of one connective becomes one balanced tree over its terms,
    // and that tree is the first term of the next run, where it stands on
    // the left of the run's root (so each change of connective costs one
    // level, not the height of a balanced run).
    bool Logical() {
        if (!Relation()) return false;
        std::vector<std::unique_ptr<TNode>> run;
        run.push_back(operands_.Pop());
        std::string runOp;
        bool carried = false;  // run[0] is the tree of the runs before
        for (;;) {
            const std::string tok = NextToken(true);
            const std::string up = plat::AnsiUpperCase(tok);
            if (up != "AND" && up != "OR") break;
            if (!Accept(tok) || !Relation() || !Reduce(3, 'L')) return false;
            std::unique_ptr<TNode> term = operands_.Pop();
            // Only the chain's first connective can have a bare operand on
            // its left; it types the right side as a comparison would.
            if (runOp.empty() && !TypeByLeftField(*run.front(), *term)) return false;
            if (!runOp.empty() && up != runOp) {
                std::unique_ptr<TNode> joined = JoinRun(run, carried, runOp);
                carried = true;
                // Each change of connective adds a level: stop before the
                // tree grows past what the engine takes.
                if (joined->Levels >= qv::kDbiMaxFilterLevels) {
                    fault_ = TFilterFault::TooDeep;
                    return false;
                }
                run.clear();
                run.push_back(std::move(joined));
            }
            runOp = up;
            run.push_back(std::move(term));
        }
        std::unique_ptr<TNode> chain = JoinRun(run, carried, runOp);
        if (chain->Levels > qv::kDbiMaxFilterLevels) {
            fault_ = TFilterFault::TooDeep;
            return false;
        }
        operands_.Push(std::move(chain));
        return Reduce(1, 'L');
    }

    // A run's terms joined by `op`; a carried first term on the left of the
    // root, the others balanced on its right.
    static std::unique_ptr<TNode> JoinRun(std::vector<std::unique_ptr<TNode>>& terms, bool carried,
                                          const std::string& op) {
        if (!carried || terms.size() == 1) return Join(terms, 0, terms.size(), op);
        auto node = std::make_unique<TNode>(nkConnective, op);
        node->Left = std::move(terms[0]);
        node->Right = Join(terms, 1, terms.size(), op);
        node->Levels = 1 + std::max(node->Left->Levels, node->Right->Levels);
        return node;
    }

    // The terms [from, to) of a run joined by `op`, halves under each node.
    static std::unique_ptr<TNode> Join(std::vector<std::unique_ptr<TNode>>& terms, std::size_t from, std::size_t to,
                                       const std::string& op) {
        if (to - from == 1) return std::move(terms[from]);
        const std::size_t mid = from + (to - from) / 2;
        auto node = std::make_unique<TNode>(nkConnective, op);
        node->Left = Join(terms, from, mid, op);
        node->Right = Join(terms, mid, to, op);
        node->Levels = 1 + std::max(node->Left->Levels, node->Right->Levels);
        return node;
    }

    // relation := sum [relop sum]
    bool Relation() {
        if (!Sum()) return false;
        const std::string tok = NextToken(false);
        if (IsRelationalOperator(tok)) {
            if (!Accept(tok) || !Sum() || !Reduce(3, 'R') || !MakeNode(nkRelation, tok)) return false;
            return true;
        }
        return Reduce(1, 'R');
    }

    // sum := product { (+ | -) product }
    bool Sum() {
        if (!Product()) return false;
        for (;;) {
            const std::string tok = NextToken(false);
            if (tok != "+" && tok != "-") break;
            if (!Accept(tok) || !Product() || !Reduce(3, 'E') || !MakeNode(nkArithmetic, tok)) return false;
        }
        return Reduce(1, 'E');
    }

    // One level deeper into a bracket or a right-hand product, for the
    // time an object of this lives; Deeper() fails past the limit, before
    // the parser's own recursion can exhaust the stack.
    struct Nest {
        int& depth;
        explicit Nest(int& d) : depth(d) { ++depth; }
        ~Nest() { --depth; }
    };
    bool Deeper() {
        if (nesting_ <= kFilterMaxNesting) return true;
        fault_ = TFilterFault::TooDeep;
        return false;
    }

    // product := factor [(* | /) product]
    bool Product() {
        if (!Factor()) return false;
        const std::string tok = NextToken(false);
        if (tok == "*" || tok == "/") {
            Nest nest(nesting_);
            if (!Deeper()) return false;
            if (!Accept(tok) || !Product() || !Reduce(3, 'T') || !MakeNode(nkArithmetic, tok)) return false;
            return true;
        }
        return Reduce(1, 'T');
    }

    // factor := "(" logical ")" | operand
    bool Factor() {
        const std::string tok = NextToken(false);
        if (tok == "(") {
            Nest nest(nesting_);
            if (!Deeper()) return false;
            if (!Accept(tok) || !Logical()) return false;
            if (NextToken(true) != ")" || !Accept(")")) return false;
            return Reduce(3, 'P');
        }
        if (tok.empty() || !Accept(tok)) return false;
        return MakeNode(nkOperand, tok) && Reduce(1, 'P');
    }

    const TFilterField* FindFilterField(const std::string& name) const {
        for (const TFilterField& f : fields_)
            if (plat::CompareAnsi(f.Name, name, true) == 0) return &f;
        return nullptr;
    }

    bool MakeNode(TNodeKind kind, const std::string& text) {
        auto node = std::make_unique<TNode>(kind, text);
        if (kind == nkOperand) {
            operands_.Push(std::move(node));
            return true;
        }
        if (operands_.Count() < 2) return false;
        node->Right = operands_.Pop();
        node->Left = operands_.Pop();
        node->Levels = 1 + std::max(node->Left->Levels, node->Right->Levels);
        if (node->Levels > qv::kDbiMaxFilterLevels) {
            fault_ = TFilterFault::TooDeep;
            return false;
        }
        if (!TypeByLeftField(*node->Left, *node->Right)) return false;
        operands_.Push(std::move(node));
        return true;
    }

    // When `left` is a bare operand it must name a field, whose type the
    // constant on the right is then written in.
    bool TypeByLeftField(const TNode& left, TNode& right) {
        if (left.Kind != nkOperand) return true;
        const TFilterField* f = FindFilterField(left.Text);
        if (!f) {
            gui::MessageDlg(left.Text + "\r\nField not found in Table. ", gui::mtWarning, gui::Buttons({gui::mbOK}));
            fault_ = TFilterFault::FieldNotFound;
            return false;
        }
        right.DataType = OperandCodeOf(f->DataType);
        if (f->DataType == db::ftBCD) right.Decimals = f->Size;
        return true;
    }

    // The literal of an operand: a name for a field node, else the value.
    static std::vector<std::uint8_t> Literal(const TNode& n) {
        if (n.DataType == ocFieldNode) {
            std::vector<std::uint8_t> out(n.Text.begin(), n.Text.end());
            out.push_back(0);
            return out;
        }
        return ConstantValue(n);
    }

    struct Emitted {
        const TNode* node;
        std::vector<std::uint8_t> literal;
        // A name written before: the pool offset of that copy (-1: none).
        std::ptrdiff_t sharedAt = -1;
    };

    // Post-order: left, right, node. Values are converted here, before the
    // buffer exists, so a conversion error leaves nothing behind.
    bool Collect(const TNode& n, std::vector<Emitted>& out, TFilterFault& fault) {
        if (n.Left && !Collect(*n.Left, out, fault)) return false;
        if (n.Right && !Collect(*n.Right, out, fault)) return false;
        Emitted e{&n, {}};
        if (n.Kind == nkOperand) {
            // Names and string values are limited to 255 characters; a longer
            // one would be cut and compare against something else.
            const bool textual = n.DataType == ocFieldNode || n.DataType == ocString;
            const std::size_t chars = n.DataType == ocString ? Unquoted(n.Text).size() : n.Text.size();
            if (textual && chars > kFilterMaxLiteral) {
                fault = TFilterFault::LiteralTooLong;
                return false;
            }
            e.literal = Literal(n);
        } else if (OperatorCode(n.Text) == 0) {
            fault = TFilterFault::Syntax;
            return false;
        }
        out.push_back(std::move(e));
        return true;
    }

    std::optional<std::vector<std::uint8_t>> Emit(const TNode& root, TFilterFault& fault) {
        std::vector<Emitted> order;
        if (!Collect(root, order, fault)) return std::nullopt;
        const std::size_t count = order.size();
        // A name is written once, however many field nodes use it: a list of
        // alternatives on one field stays within the buffer's 64 KB.
        std::map<std::string, std::size_t> names;
        std::size_t literalBytes = 0;
        for (Emitted& e : order) {
            if (e.node->Kind == nkOperand && e.node->DataType == ocFieldNode) {
                auto [at, fresh] = names.emplace(e.node->Text, literalBytes);
                if (!fresh) {
                    e.sharedAt = static_cast<std::ptrdiff_t>(at->second);
                    e.literal.clear();
                }
            }
            literalBytes += e.literal.size();
        }
        const std::size_t nodeStart = kFilterHeaderSize;
        const std::size_t poolStart = nodeStart + kFilterNodeSize * count;
        const std::size_t total = poolStart + literalBytes;
        if (total > 0xFFFF) {
            fault = TFilterFault::TooLarge;
            return std::nullopt;
        }
        std::vector<std::uint8_t> b(total, 0);
        Put16(b, 0, kFilterVersion);
        Put16(b, 2, static_cast<std::uint32_t>(total));
        Put16(b, 4, static_cast<std::uint32_t>(count));
        Put16(b, 6, static_cast<std::uint32_t>(nodeStart));
        Put16(b, 8, static_cast<std::uint32_t>(poolStart));
        std::size_t slot = count;  // written from the last slot back
        std::size_t pool = 0;
        std::uint16_t fieldNodes = 0;
        std::map<const TNode*, std::uint32_t> offsets;
        for (const Emitted& e : order) {
            const TNode& n = *e.node;
            --slot;
            const std::uint32_t offset = static_cast<std::uint32_t>(slot * kFilterNodeSize);
            offsets[&n] = offset;
            const std::size_t at = nodeStart + offset;
            if (n.Kind == nkOperand && n.DataType == ocFieldNode) {
                Put32(b, at, kClassField);
                Put32(b, at + 4, kOpField);
                Put16(b, at + 8, ++fieldNodes);
                Put16(b, at + 10, static_cast<std::uint32_t>(e.sharedAt >= 0 ? static_cast<std::size_t>(e.sharedAt) : pool));
            } else if (n.Kind == nkOperand) {
                Put32(b, at, kClassConst);
                Put32(b, at + 4, kOpConst);
                Put16(b, at + 8, kConstType[n.DataType]);
                Put16(b, at + 10, static_cast<std::uint32_t>(e.literal.size()));
                Put16(b, at + 12, static_cast<std::uint32_t>(pool));
            } else {
                Put32(b, at, kClassBinary);
                Put32(b, at + 4, OperatorCode(n.Text));
                Put16(b, at + 8, offsets.at(n.Left.get()));
                Put16(b, at + 10, offsets.at(n.Right.get()));
            }
            std::copy(e.literal.begin(), e.literal.end(), b.begin() + static_cast<std::ptrdiff_t>(poolStart + pool));
            pool += e.literal.size();
        }
        return b;
    }

    const std::vector<TFilterField>& fields_;
    std::string input_;
    TStackStr symbols_;
    TStackPtr operands_;
    TFilterFault fault_ = TFilterFault::None;
    int nesting_ = 0;
};

}  // namespace

TOperandCode OperandCodeOf(db::TFieldType type) {
    switch (type) {
    case db::ftString: return ocString;
    case db::ftFloat:
    case db::ftCurrency: return ocFloat;
    case db::ftDateTime: return ocTimeStamp;
    case db::ftDate: return ocDate;
    case db::ftTime: return ocTime;
    case db::ftBoolean: return ocBoolean;
    case db::ftInteger: return ocInteger;
    case db::ftBCD: return ocBCD;
    case db::ftSmallint:
    case db::ftWord: return ocSmallInt;
    default: return ocFieldNode;
    }
}

int TNode::CountNodes() const {
    return 1 + (Left ? Left->CountNodes() : 0) + (Right ? Right->CountNodes() : 0);
}

std::string TStackStr::Pop() {
    if (items_.empty()) return {};
    std::string s = std::move(items_.back());
    items_.pop_back();
    return s;
}

std::unique_ptr<TNode> TStackPtr::Pop() {
    if (items_.empty()) return nullptr;
    std::unique_ptr<TNode> n = std::move(items_.back());
    items_.pop_back();
    return n;
}

std::vector<TFilterField> FilterFieldsOf(const db::TDataSet& ds) {
    std::vector<TFilterField> out;
    if (ds.FieldCount() > 0) {
        for (int i = 0; i < ds.FieldCount(); ++i) {
            const db::TField* f = ds.Fields(i);
            out.push_back({f->FieldName, f->DataType(), f->Size});
        }
    } else {
        for (const db::TFieldDef& d : const_cast<db::TDataSet&>(ds).FieldDefs().List())
            out.push_back({d.Name, d.DataType, d.Size});
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> FilterTextToExpr(const std::string& text,
                                                           const std::vector<TFilterField>& fields,
                                                           TFilterFault* fault) {
    TFilterFault f = TFilterFault::None;
    TFilterCompiler compiler(fields);
    auto out = compiler.Compile(text, f);
    if (fault) *fault = f;
    return out;
}

namespace {

const TFilterEntryPoints kEngineFilterCalls = {qv::DbiAddFilter, qv::DbiActivateFilter, qv::DbiDeactivateFilter,
                                               qv::DbiDropFilter};
const TFilterEntryPoints* g_filterCalls = &kEngineFilterCalls;

}  // namespace

void SetFilterEntryPoints(const TFilterEntryPoints* entryPoints) {
    g_filterCalls = entryPoints ? entryPoints : &kEngineFilterCalls;
}

void DropCursorFilter(db::TDataSet& ds, TFilterHandle& handle) {
    if (handle == 0) return;
    if (ds.Handle() != 0) {
        g_filterCalls->DeactivateFilter(ds.Handle(), handle);
        g_filterCalls->DropFilter(ds.Handle(), handle);
    }
    handle = 0;
}

bool InstallCursorFilter(const std::string& text, db::TDataSet& ds, TFilterHandle& handle, bool force) {
    if (!ds.Active() && !force) {
        handle = 0;  // a closed cursor took its filters with it
        return true;
    }
    if (text.empty()) {
        DropCursorFilter(ds, handle);
        if (ds.Active() && !force) ds.First();
        return true;
    }
    // Compiling may raise a conversion error: nothing has changed yet.
    std::optional<std::vector<std::uint8_t>> expr = FilterTextToExpr(text, FilterFieldsOf(ds));
    if (!expr || ds.Handle() == 0) return false;
    // The new filter goes in before the old one leaves, so a refusal leaves
    // the old one in force.
    qv::hDBIFilter added = qv::kNilHandle;
    if (g_filterCalls->AddFilter(ds.Handle(), 0, 1, false, expr->data(), nullptr, added) != 0) return false;
    if (g_filterCalls->ActivateFilter(ds.Handle(), added) != 0) {
        g_filterCalls->DropFilter(ds.Handle(), added);
        return false;
    }
    DropCursorFilter(ds, handle);
    handle = added;
    if (ds.Active() && !force) ds.First();
    return true;
}

}  // namespace vl
