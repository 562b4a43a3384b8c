#include "UIKit/Layout/LayoutSolver.hpp"

#include <cmath>
#include <limits>
#include <optional>

namespace layout {
namespace {

bool nearZero(double value) { return std::fabs(value) < 1.0e-8; }

struct Symbol {
    enum class Type { Invalid, External, Slack, Error, Dummy };
    std::uint64_t id = 0;
    Type type = Type::Invalid;
    bool valid() const { return type != Type::Invalid; }
    bool pivotable() const { return type == Type::Slack || type == Type::Error; }
    friend bool operator<(const Symbol& a, const Symbol& b) { return a.id < b.id; }
};

// constant + sum of coefficient × symbol; as a row of the tableau it reads basic = row.
struct Row {
    std::map<Symbol, double> cells;
    double constant = 0;

    double add(double value) { return constant += value; }
    void insert(const Symbol& s, double coefficient) {
        const double c = cells[s] += coefficient;
        if (nearZero(c)) {
            cells.erase(s);
        }
    }
    void insert(const Row& other, double coefficient) {
        constant += other.constant * coefficient;
        for (const auto& [s, c] : other.cells) {
            insert(s, c * coefficient);
        }
    }
    void remove(const Symbol& s) { cells.erase(s); }
    void reverseSign() {
        constant = -constant;
        for (auto& cell : cells) {
            cell.second = -cell.second;
        }
    }
    double coefficientFor(const Symbol& s) const {
        const auto it = cells.find(s);
        return it == cells.end() ? 0.0 : it->second;
    }
    // Solves this row (read as 0 = row) for `s`, which it must hold.
    void solveFor(const Symbol& s) {
        const double factor = -1.0 / cells[s];
        cells.erase(s);
        constant *= factor;
        for (auto& cell : cells) {
            cell.second *= factor;
        }
    }
    // Solves `lhs = row` for `rhs`.
    void solveFor(const Symbol& lhs, const Symbol& rhs) {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
    void substitute(const Symbol& s, const Row& row) {
        const auto it = cells.find(s);
        if (it != cells.end()) {
            const double coefficient = it->second;
            cells.erase(it);
            insert(row, coefficient);
        }
    }
};

struct Tag {
    Symbol marker;
    Symbol other;
};

struct Stored {
    Constraint constraint;
    Tag tag;
};

struct Edit {
    ConstraintId constraint = 0;
    double strength = 0;
    double constant = 0;
};

bool finite(const Expression& e) {
    for (const Term& t : e.terms) {
        if (!std::isfinite(t.coefficient)) {
            return false;
        }
    }
    return std::isfinite(e.constant);
}

} // namespace

struct Solver::Tableau {
    std::vector<std::string> names{""};
    std::map<ConstraintId, Stored> constraints;
    std::map<Variable, Symbol> symbols;
    std::map<Variable, Edit> edits;
    std::map<Symbol, Row> rows;
    std::vector<Symbol> infeasible;
    Row objective;
    std::optional<Row> artificial;
    std::uint64_t tick = 1;
    ConstraintId nextId = 1;
    bool rebuilding = false;

    Symbol make(Symbol::Type type) { return Symbol{tick++, type}; }

    Symbol symbolFor(Variable v) {
        auto it = symbols.find(v);
        if (it == symbols.end()) {
            it = symbols.emplace(v, make(Symbol::Type::External)).first;
        }
        return it->second;
    }

    // The constraint as a row over non-basic symbols, with its marker (and error) symbols.
    Row makeRow(const Constraint& c, Tag& tag) {
        const Expression e = c.lhs - c.rhs;
        Row row;
        row.constant = e.constant;
        for (const Term& term : e.terms) {
            if (nearZero(term.coefficient)) {
                continue;
            }
            const Symbol s = symbolFor(term.variable);
            const auto basic = rows.find(s);
            if (basic != rows.end()) {
                row.insert(basic->second, term.coefficient);
            } else {
                row.insert(s, term.coefficient);
            }
        }
        const bool required = c.strength >= strength::required;
        if (c.relation == Relation::Equal) {
            if (required) {
                tag.marker = make(Symbol::Type::Dummy);
                row.insert(tag.marker, 1.0);
            } else {
                tag.marker = make(Symbol::Type::Error);
                tag.other = make(Symbol::Type::Error);
                row.insert(tag.marker, -1.0);
                row.insert(tag.other, 1.0);
                objective.insert(tag.marker, c.strength);
                objective.insert(tag.other, c.strength);
            }
        } else {
            const double sign = c.relation == Relation::LessOrEqual ? 1.0 : -1.0;
            tag.marker = make(Symbol::Type::Slack);
            row.insert(tag.marker, sign);
            if (!required) {
                tag.other = make(Symbol::Type::Error);
                row.insert(tag.other, -sign);
                objective.insert(tag.other, c.strength);
            }
        }
        if (row.constant < 0) {
            row.reverseSign();
        }
        return row;
    }

    static Symbol chooseSubject(const Row& row, const Tag& tag) {
        for (const auto& [s, c] : row.cells) {
            if (s.type == Symbol::Type::External) {
                return s;
            }
        }
        if (tag.marker.pivotable() && row.coefficientFor(tag.marker) < 0) {
            return tag.marker;
        }
        if (tag.other.pivotable() && row.coefficientFor(tag.other) < 0) {
            return tag.other;
        }
        return {};
    }

    static bool allDummies(const Row& row) {
        for (const auto& [s, c] : row.cells) {
            if (s.type != Symbol::Type::Dummy) {
                return false;
            }
        }
        return true;
    }

    void substitute(const Symbol& s, const Row& row) {
        for (auto& [basic, r] : rows) {
            r.substitute(s, row);
            if (basic.type != Symbol::Type::External && r.constant < 0) {
                infeasible.push_back(basic);
            }
        }
        objective.substitute(s, row);
        if (artificial) {
            artificial->substitute(s, row);
        }
    }

    // Pivots until no symbol of `goal` can lower it. False when it could go down without end,
    // which no tableau built from these constraints allows.
    bool optimize(const Row& goal) {
        for (int guard = 0; guard < 100000; ++guard) {
            Symbol entering;
            for (const auto& [s, c] : goal.cells) {
                if (s.type != Symbol::Type::Dummy && c < 0) {
                    entering = s;
                    break;
                }
            }
            if (!entering.valid()) {
                return true;
            }
            auto leaving = rows.end();
            double ratio = std::numeric_limits<double>::max();
            for (auto it = rows.begin(); it != rows.end(); ++it) {
                if (it->first.type == Symbol::Type::External) {
                    continue;
                }
                const double c = it->second.coefficientFor(entering);
                if (c < 0) {
                    const double r = -it->second.constant / c;
                    if (r < ratio) {
                        ratio = r;
                        leaving = it;
                    }
                }
            }
            if (leaving == rows.end()) {
                return false;
            }
            const Symbol basic = leaving->first;
            Row row = std::move(leaving->second);
            rows.erase(leaving);
            row.solveFor(basic, entering);
            substitute(entering, row);
            rows.emplace(entering, std::move(row));
        }
        return false;
    }

    bool dualOptimize() {
        while (!infeasible.empty()) {
            const Symbol leaving = infeasible.back();
            infeasible.pop_back();
            const auto it = rows.find(leaving);
            if (it == rows.end() || nearZero(it->second.constant) || it->second.constant >= 0) {
                continue;
            }
            Symbol entering;
            double ratio = std::numeric_limits<double>::max();
            for (const auto& [s, c] : it->second.cells) {
                if (c > 0 && s.type != Symbol::Type::Dummy) {
                    const double r = objective.coefficientFor(s) / c;
                    if (r < ratio) {
                        ratio = r;
                        entering = s;
                    }
                }
            }
            if (!entering.valid()) {
                infeasible.clear();
                return false;
            }
            Row row = std::move(it->second);
            rows.erase(it);
            row.solveFor(leaving, entering);
            substitute(entering, row);
            rows.emplace(entering, std::move(row));
        }
        return true;
    }

    bool addWithArtificialVariable(const Row& row) {
        const Symbol art = make(Symbol::Type::Slack);
        rows.emplace(art, row);
        artificial = row;
        const bool optimized = optimize(*artificial);
        const bool success = optimized && nearZero(artificial->constant);
        artificial.reset();
        const auto it = rows.find(art);
        if (it != rows.end()) {
            Row basic = std::move(it->second);
            rows.erase(it);
            if (basic.cells.empty()) {
                return success;
            }
            Symbol entering;
            for (const auto& [s, c] : basic.cells) {
                if (s.pivotable()) {
                    entering = s;
                    break;
                }
            }
            if (!entering.valid()) {
                return false;
            }
            basic.solveFor(art, entering);
            substitute(entering, basic);
            rows.emplace(entering, std::move(basic));
        }
        for (auto& [s, r] : rows) {
            r.remove(art);
        }
        objective.remove(art);
        return success;
    }

    // Adds to the tableau; false when the constraint cannot hold with the required ones there,
    // after which the tableau must be rebuilt.
    bool insert(const Constraint& c, Tag& tag) {
        Row row = makeRow(c, tag);
        Symbol subject = chooseSubject(row, tag);
        if (!subject.valid() && allDummies(row)) {
            if (!nearZero(row.constant)) {
                return false;
            }
            subject = tag.marker;
        }
        if (!subject.valid()) {
            if (!addWithArtificialVariable(row)) {
                return false;
            }
        } else {
            row.solveFor(subject);
            substitute(subject, row);
            rows.emplace(subject, std::move(row));
        }
        return optimize(objective);
    }

    void removeMarkerEffects(const Symbol& marker, double strength) {
        const auto it = rows.find(marker);
        if (it != rows.end()) {
            objective.insert(it->second, -strength);
        } else {
            objective.insert(marker, -strength);
        }
    }

    bool erase(const Stored& stored) {
        const Tag& tag = stored.tag;
        if (tag.marker.type == Symbol::Type::Error) {
            removeMarkerEffects(tag.marker, stored.constraint.strength);
        }
        if (tag.other.type == Symbol::Type::Error) {
            removeMarkerEffects(tag.other, stored.constraint.strength);
        }
        const auto basic = rows.find(tag.marker);
        if (basic != rows.end()) {
            rows.erase(basic);
        } else {
            // The marker is not basic: pivot it in through the row that limits it most tightly.
            auto first = rows.end(), second = rows.end(), third = rows.end();
            double r1 = std::numeric_limits<double>::max(), r2 = r1;
            for (auto it = rows.begin(); it != rows.end(); ++it) {
                const double c = it->second.coefficientFor(tag.marker);
                if (c == 0.0) {
                    continue;
                }
                if (it->first.type == Symbol::Type::External) {
                    third = it;
                } else if (c < 0) {
                    const double r = -it->second.constant / c;
                    if (r < r1) {
                        r1 = r;
                        first = it;
                    }
                } else {
                    const double r = it->second.constant / c;
                    if (r < r2) {
                        r2 = r;
                        second = it;
                    }
                }
            }
            auto leaving = first != rows.end() ? first : (second != rows.end() ? second : third);
            if (leaving == rows.end()) {
                return false;
            }
            const Symbol leavingSymbol = leaving->first;
            Row row = std::move(leaving->second);
            rows.erase(leaving);
            row.solveFor(leavingSymbol, tag.marker);
            substitute(tag.marker, row);
        }
        return optimize(objective);
    }

    // Makes the tableau anew from the constraints kept, and suggests each edit's value again.
    void rebuild() {
        rebuilding = true;
        rows.clear();
        symbols.clear();
        infeasible.clear();
        objective = Row();
        artificial.reset();
        for (auto it = constraints.begin(); it != constraints.end();) {
            it->second.tag = Tag();
            if (insert(it->second.constraint, it->second.tag)) {
                ++it;
            } else {
                // Only possible through rounding: what held together before is kept but this one.
                it = constraints.erase(it);
                rebuild();
                rebuilding = false;
                return;
            }
        }
        for (auto& [v, edit] : edits) {
            const double value = edit.constant;
            edit.constant = 0;
            suggestValue(v, edit, value);
        }
        rebuilding = false;
    }

    void suggestValue(Variable, Edit& edit, double value) {
        const Tag& tag = constraints.at(edit.constraint).tag;
        const double delta = value - edit.constant;
        edit.constant = value;
        if (auto it = rows.find(tag.marker); it != rows.end()) {
            if (it->second.add(-delta) < 0) {
                infeasible.push_back(tag.marker);
            }
        } else if (auto other = rows.find(tag.other); other != rows.end()) {
            if (other->second.add(delta) < 0) {
                infeasible.push_back(tag.other);
            }
        } else {
            for (auto& [basic, row] : rows) {
                const double c = row.coefficientFor(tag.marker);
                if (c != 0.0 && row.add(delta * c) < 0 && basic.type != Symbol::Type::External) {
                    infeasible.push_back(basic);
                }
            }
        }
        if (!dualOptimize() && !rebuilding) {
            rebuild();
        }
    }
};

Solver::Solver() : t_(std::make_unique<Tableau>()) {}
Solver::~Solver() = default;

Variable Solver::newVariable(std::string name) {
    t_->names.push_back(std::move(name));
    return Variable{static_cast<std::uint32_t>(t_->names.size() - 1)};
}

const std::string& Solver::name(Variable v) const {
    return v.id < t_->names.size() ? t_->names[v.id] : t_->names[0];
}

Status Solver::add(const Constraint& constraint, ConstraintId* id) {
    if (!finite(constraint.lhs) || !finite(constraint.rhs) || !(constraint.strength > 0)) {
        return Status::Invalid;
    }
    for (const Expression* e : {&constraint.lhs, &constraint.rhs}) {
        for (const Term& term : e->terms) {
            if (term.variable.id == 0 || term.variable.id >= t_->names.size()) {
                return Status::Unknown;
            }
        }
    }
    Stored stored{constraint, {}};
    stored.constraint.strength = std::fmin(constraint.strength, strength::required);
    if (!t_->insert(stored.constraint, stored.tag)) {
        t_->rebuild();
        return Status::Unsatisfiable;
    }
    const ConstraintId made = t_->nextId++;
    t_->constraints.emplace(made, std::move(stored));
    if (id != nullptr) {
        *id = made;
    }
    return Status::Ok;
}

Status Solver::remove(ConstraintId id) {
    const auto it = t_->constraints.find(id);
    if (it == t_->constraints.end()) {
        return Status::Unknown;
    }
    for (const auto& [v, edit] : t_->edits) {
        if (edit.constraint == id) {
            return removeEdit(v);
        }
    }
    const Stored stored = std::move(it->second);
    t_->constraints.erase(it);
    if (!t_->erase(stored)) {
        t_->rebuild();
    }
    return Status::Ok;
}

bool Solver::has(ConstraintId id) const { return t_->constraints.contains(id); }

Status Solver::addEdit(Variable v, double strength) {
    if (v.id == 0 || v.id >= t_->names.size()) {
        return Status::Unknown;
    }
    if (t_->edits.contains(v)) {
        return Status::Duplicate;
    }
    if (!(strength > 0) || !std::isfinite(strength)) {
        return Status::Invalid;
    }
    ConstraintId id = 0;
    const Status added = add({v, Relation::Equal, 0.0, std::fmin(strength, strength::strong)}, &id);
    if (added != Status::Ok) {
        return added;
    }
    t_->edits.emplace(v, Edit{id, strength, 0});
    return Status::Ok;
}

Status Solver::removeEdit(Variable v) {
    const auto it = t_->edits.find(v);
    if (it == t_->edits.end()) {
        return Status::Unknown;
    }
    const ConstraintId id = it->second.constraint;
    t_->edits.erase(it);
    return remove(id);
}

Status Solver::suggest(Variable v, double value) {
    const auto it = t_->edits.find(v);
    if (it == t_->edits.end()) {
        return Status::Unknown;
    }
    if (!std::isfinite(value)) {
        return Status::Invalid;
    }
    t_->suggestValue(v, it->second, value);
    return Status::Ok;
}

double Solver::value(Variable v) const {
    const auto symbol = t_->symbols.find(v);
    if (symbol == t_->symbols.end()) {
        return 0;
    }
    const auto row = t_->rows.find(symbol->second);
    return row == t_->rows.end() ? 0.0 : row->second.constant;
}

bool Solver::isAmbiguous(Variable v) {
    if (!t_->symbols.contains(v) || t_->edits.contains(v)) {
        return false;
    }
    // Harder than the stays, softer than anything a person writes.
    constexpr double probe = strength::stay * 10;
    constexpr double distance = 1000;
    const double base = value(v);
    bool moved = false;
    for (double direction : {1.0, -1.0}) {
        if (addEdit(v, probe) != Status::Ok) {
            return false;
        }
        suggest(v, base + direction * distance);
        moved = moved || std::fabs(value(v) - base) > 1e-6;
        removeEdit(v);
    }
    return moved;
}

std::size_t Solver::constraintCount() const { return t_->constraints.size(); }

} // namespace layout
