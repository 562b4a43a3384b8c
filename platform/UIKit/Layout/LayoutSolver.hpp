// An incremental linear-constraint solver (the Cassowary simplex method) for laying views out.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace layout {

// A quantity the solver finds a value for; made by Solver::newVariable.
struct Variable {
    std::uint32_t id = 0;
    friend auto operator<=>(const Variable&, const Variable&) = default;
};

struct Term {
    Variable variable;
    double coefficient = 1;
};

// A linear sum of variables and a constant.
struct Expression {
    std::vector<Term> terms;
    double constant = 0;

    Expression() = default;
    Expression(double value) : constant(value) {} // NOLINT: numbers read as expressions
    Expression(Variable v) : terms{{v, 1}} {}     // NOLINT: so do variables
};

inline Expression operator+(Expression a, const Expression& b) {
    a.terms.insert(a.terms.end(), b.terms.begin(), b.terms.end());
    a.constant += b.constant;
    return a;
}
inline Expression operator*(Expression a, double factor) {
    for (Term& t : a.terms) {
        t.coefficient *= factor;
    }
    a.constant *= factor;
    return a;
}
inline Expression operator*(double factor, Expression a) { return std::move(a) * factor; }
inline Expression operator-(Expression a, const Expression& b) { return std::move(a) + b * -1.0; }
inline Expression operator-(Expression a) { return std::move(a) * -1.0; }

enum class Relation { LessOrEqual, Equal, GreaterOrEqual };

// How strongly a constraint holds. Required ones always hold (or are refused); among the others a
// stronger one wins over any number of much weaker ones.
namespace strength {
inline constexpr double required = 1001001000.0;
inline constexpr double strong = 1000000.0;
inline constexpr double medium = 1000.0;
inline constexpr double weak = 1.0;
// Below every constraint a person writes: what keeps a value where it was when nothing else does.
inline constexpr double stay = 0.01;
} // namespace strength

// lhs (relation) rhs, at a strength.
struct Constraint {
    Expression lhs;
    Relation relation = Relation::Equal;
    Expression rhs;
    double strength = strength::required;
};

enum class Status {
    Ok,
    Unsatisfiable, // a required constraint conflicts with the required ones already there
    Duplicate,     // the variable has an edit already
    Unknown,       // no such constraint, edit or variable
    Invalid,       // a coefficient, constant or strength that is not a finite number
};

using ConstraintId = std::uint64_t;

class [[gnu::visibility("default")]] Solver {
  public:
    Solver();
    ~Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    Variable newVariable(std::string name = {});
    const std::string& name(Variable v) const;

    // Adds a constraint; on anything but Ok the solver is as it was and `id` is untouched.
    Status add(const Constraint& constraint, ConstraintId* id = nullptr);
    Status remove(ConstraintId id);
    bool has(ConstraintId id) const;

    // An edit variable takes values suggested one after another, each held at `strength` (less than
    // required), cheaply: only what depends on it is solved again.
    Status addEdit(Variable v, double strength);
    Status removeEdit(Variable v);
    Status suggest(Variable v, double value);

    // The value of `v` in the current solution (0 for a variable no constraint mentions).
    double value(Variable v) const;

    // True when the constraints stronger than stays leave `v` free to move: pushed a long way up
    // or down, just harder than the stays hold it, it moves. Leaves the solution as it was.
    bool isAmbiguous(Variable v);

    std::size_t constraintCount() const;

  private:
    struct Tableau;
    std::unique_ptr<Tableau> t_;
};

} // namespace layout
