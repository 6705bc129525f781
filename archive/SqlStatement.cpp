#include "archive/SqlStatement.h"

#include "archive/TableError.h"

namespace torv::sql {

namespace {

constexpr int kMaxNesting = 64;

struct Token {
    enum Type { Word, Number, String, QuotedName, Symbol, End };
    Type type = End;
    QString text;
    int pos = 0;  // 1-based character position
};

[[noreturn]] void Fail(const QString &what, int pos) {
    throw TableError(QStringLiteral("Ошибка в запросе: %1 (позиция %2)").arg(what).arg(pos));
}

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

bool LooksNumeric(const QString &w) {
    if (w.isEmpty())
        return false;
    const QChar c = w[0];
    if (!(c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('.')))
        return false;
    bool ok = false;
    w.toDouble(&ok);
    return ok;
}

QVector<Token> Tokenize(const QString &s) {
    QVector<Token> out;
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.pos = i + 1;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar quote = c;
            QString text;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == quote) {
                    if (i + 1 < n && s[i + 1] == quote) {
                        text += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                text += s[i++];
            }
            if (!closed)
                Fail(QStringLiteral("не закрыта кавычка"), t.pos);
            t.type = quote == QLatin1Char('\'') ? Token::String : Token::QuotedName;
            t.text = text;
        } else if (IsWordChar(c) || ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i + 1 < n &&
                                     (s[i + 1].isDigit() || s[i + 1] == QLatin1Char('.')))) {
            int j = i + 1;
            while (j < n && IsWordChar(s[j]))
                ++j;
            t.text = s.mid(i, j - i);
            t.type = LooksNumeric(t.text) ? Token::Number : Token::Word;
            if (t.type == Token::Word && !IsWordChar(c))
                Fail(QStringLiteral("неверное число %1").arg(t.text), t.pos);
            i = j;
        } else {
            static const char *const kTwo[] = {"<>", "<=", ">=", "!="};
            t.type = Token::Symbol;
            for (const char *two : kTwo)
                if (s.mid(i, 2) == QLatin1String(two))
                    t.text = QLatin1String(two);
            if (t.text.isEmpty()) {
                if (QStringLiteral("(),=<>*;").contains(c))
                    t.text = c;
                else
                    Fail(QStringLiteral("недопустимый символ «%1»").arg(c), t.pos);
            }
            i += t.text.size();
        }
        out.append(t);
    }
    Token end;
    end.type = Token::End;
    end.pos = n + 1;
    out.append(end);
    return out;
}

class Parser {
public:
    explicit Parser(const QString &text) : tokens_(Tokenize(text)) {}

    Statement statement() {
        Statement st;
        if (keyword("SELECT")) {
            st.kind = Statement::Select;
            expectSymbol("*");
            expectKeyword("FROM");
            st.table = tableName();
            optionalWhere(st);
        } else if (keyword("DELETE")) {
            st.kind = Statement::Delete;
            expectKeyword("FROM");
            st.table = tableName();
            optionalWhere(st);
        } else if (keyword("INSERT")) {
            st.kind = Statement::Insert;
            expectKeyword("INTO");
            st.table = tableName();
            expectSymbol("(");
            do
                st.columns.append(columnName());
            while (symbol(","));
            expectSymbol(")");
            expectKeyword("VALUES");
            expectSymbol("(");
            do
                st.values.append(literal());
            while (symbol(","));
            expectSymbol(")");
            if (st.columns.size() != st.values.size())
                Fail(QStringLiteral("число значений не совпадает с числом столбцов"), cur().pos);
        } else if (keyword("UPDATE")) {
            st.kind = Statement::Update;
            st.table = tableName();
            expectKeyword("SET");
            do {
                st.columns.append(columnName());
                expectSymbol("=");
                st.values.append(literal());
            } while (symbol(","));
            optionalWhere(st);
        } else {
            Fail(QStringLiteral("ожидалось SELECT, INSERT, UPDATE или DELETE"), cur().pos);
        }
        symbol(";");
        expectEnd();
        return st;
    }

    ConditionPtr conditionOnly() {
        ConditionPtr c = orExpr(0);
        expectEnd();
        return c;
    }

private:
    const Token &cur() const { return tokens_[at_]; }
    void advance() {
        if (cur().type != Token::End)
            ++at_;
    }

    bool isKeyword(const Token &t, const char *word) const {
        return t.type == Token::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool keyword(const char *word) {
        if (!isKeyword(cur(), word))
            return false;
        advance();
        return true;
    }
    void expectKeyword(const char *word) {
        if (!keyword(word))
            Fail(QStringLiteral("ожидалось %1").arg(QLatin1String(word)), cur().pos);
    }
    bool symbol(const char *s) {
        if (cur().type != Token::Symbol || cur().text != QLatin1String(s))
            return false;
        advance();
        return true;
    }
    void expectSymbol(const char *s) {
        if (!symbol(s))
            Fail(QStringLiteral("ожидалось «%1»").arg(QLatin1String(s)), cur().pos);
    }
    void expectEnd() {
        if (cur().type != Token::End)
            Fail(QStringLiteral("лишний текст «%1»").arg(cur().text), cur().pos);
    }

    static bool Reserved(const Token &t) {
        static const char *const kWords[] = {"SELECT", "FROM",   "WHERE",  "AND", "OR",    "INSERT",
                                             "INTO",   "VALUES", "UPDATE", "SET", "DELETE"};
        for (const char *w : kWords)
            if (t.type == Token::Word && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    QString tableName() {
        const Token &t = cur();
        if ((t.type == Token::Word && !Reserved(t)) || t.type == Token::QuotedName || t.type == Token::Number) {
            QString name = t.text.trimmed();
            if (name.isEmpty())
                Fail(QStringLiteral("пустое имя таблицы"), t.pos);
            advance();
            return name;
        }
        Fail(QStringLiteral("ожидалось имя таблицы"), t.pos);
    }

    QString columnName() {
        const Token &t = cur();
        if ((t.type == Token::Word && !Reserved(t)) || t.type == Token::QuotedName) {
            advance();
            return t.text;
        }
        Fail(QStringLiteral("ожидалось имя столбца"), t.pos);
    }

    Operand literal() {
        const Token &t = cur();
        Operand o;
        if (t.type == Token::String)
            o.kind = Operand::Text;
        else if (t.type == Token::Number)
            o.kind = Operand::Number;
        else
            Fail(QStringLiteral("ожидалось значение в апострофах"), t.pos);
        o.text = t.text;
        advance();
        return o;
    }

    Operand operand() {
        const Token &t = cur();
        if (t.type == Token::String || t.type == Token::Number)
            return literal();
        if ((t.type == Token::Word && !Reserved(t)) || t.type == Token::QuotedName) {
            Operand o;
            o.kind = Operand::Column;
            o.text = t.text;
            advance();
            return o;
        }
        Fail(QStringLiteral("ожидалось имя столбца или значение"), t.pos);
    }

    void optionalWhere(Statement &st) {
        if (keyword("WHERE"))
            st.where = orExpr(0);
    }

    ConditionPtr orExpr(int depth) {
        ConditionPtr left = andExpr(depth);
        while (keyword("OR")) {
            auto c = std::make_shared<Condition>();
            c->kind = Condition::Or;
            c->a = left;
            c->b = andExpr(depth);
            left = c;
        }
        return left;
    }

    ConditionPtr andExpr(int depth) {
        ConditionPtr left = primary(depth);
        while (keyword("AND")) {
            auto c = std::make_shared<Condition>();
            c->kind = Condition::And;
            c->a = left;
            c->b = primary(depth);
            left = c;
        }
        return left;
    }

    ConditionPtr primary(int depth) {
        if (cur().type == Token::Symbol && cur().text == QLatin1String("(")) {
            if (depth >= kMaxNesting)
                Fail(QStringLiteral("слишком глубокая вложенность скобок"), cur().pos);
            advance();
            ConditionPtr inner = orExpr(depth + 1);
            expectSymbol(")");
            return inner;
        }
        auto c = std::make_shared<Condition>();
        c->kind = Condition::Compare;
        c->left = operand();
        c->op = compareOp();
        c->right = operand();
        return c;
    }

    CompareOp compareOp() {
        const Token &t = cur();
        if (t.type == Token::Symbol) {
            CompareOp op = CompareOp::Eq;
            bool found = true;
            if (t.text == QLatin1String("="))
                op = CompareOp::Eq;
            else if (t.text == QLatin1String("<>") || t.text == QLatin1String("!="))
                op = CompareOp::Ne;
            else if (t.text == QLatin1String("<"))
                op = CompareOp::Lt;
            else if (t.text == QLatin1String("<="))
                op = CompareOp::Le;
            else if (t.text == QLatin1String(">"))
                op = CompareOp::Gt;
            else if (t.text == QLatin1String(">="))
                op = CompareOp::Ge;
            else
                found = false;
            if (found) {
                advance();
                return op;
            }
        }
        Fail(QStringLiteral("ожидалось сравнение (=, <>, <, <=, >, >=)"), t.pos);
    }

    QVector<Token> tokens_;
    int at_ = 0;
};

}  // namespace

Statement Parse(const QString &text) {
    Parser p(text);
    return p.statement();
}

ConditionPtr ParseCondition(const QString &text) {
    Parser p(text);
    return p.conditionOnly();
}

}  // namespace torv::sql
