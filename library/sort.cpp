// SORT's two ways of ordering the (key . element) pairs it makes of its
// list. SORT$ orders them in C++ when the test is the prelude's < or >
// still in place and the keys are all exact numbers or all floating ones:
// a stable sort of the pair cells, written back into the cars of the same
// spine, with nothing allocated or evaluated. For anything else it answers
// NIL and SORT$MERGE, below, orders them in Lisp, calling the test.
//
// Both keep equal elements in their order, so that for a strict test the
// result is the order the partitioning sort of old gave; both take
// O(n log n) steps and O(n) cells on every input.
#include <algorithm>
#include <vector>

#include "eval/cfunction.h"
#include "library/lisptext.h"

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ typedef __int128 Wide;
#else
typedef long long Wide;     // twice the width of a 32-bit long
#endif

void terms(const _cell* c, long* n, long* d) {
    if (isInteger(c)) {
        *n = c->car.i->value;
        *d = 1;
    } else {
        *n = c->car.i->value;
        *d = c->cdr.i->value;
    }
}

// n1/d1 < n2/d2 with positive denominators, exactly.
bool exactLess(const _cell* a, const _cell* b) {
    long n1, d1, n2, d2;
    terms(a, &n1, &d1);
    terms(b, &n2, &d2);
    return (Wide)n1 * d2 < (Wide)n2 * d1;
}

}  // namespace

_cell* cfunction::sort_lisp(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    _cell* pairs = nullptr;
    _cell* test = nullptr;
    int got = EvalTwo(g, args, frame, count, &pairs, &test);
    if (got == 0) return nullptr;
    if (got < 0) return Fail("エラー: 引数の数が違います", frame, count);
    int order = IntactOrder(test);
    if (order == 0) return NILCell;
    std::vector<_cell*> cells;
    bool exact = true;
    bool floating = true;
    for (_cell* p = pairs; isCons(p); p = p->cdr.p) {
        _cell* pair = p->car.p;
        if (!isCons(pair)) return NILCell;
        _cell* key = pair->car.p;
        exact = exact && (isInteger(key) || isBunsu(key));
        floating = floating && isFloating(key);
        if (!exact && !floating) return NILCell;
        cells.push_back(pair);
    }
    auto key = [](const _cell* pair) { return pair->car.p; };
    if (exact)
        std::stable_sort(cells.begin(), cells.end(),
                         [&](const _cell* a, const _cell* b) {
                             return order > 0 ? exactLess(key(a), key(b))
                                              : exactLess(key(b), key(a));
                         });
    else
        std::stable_sort(cells.begin(), cells.end(),
                         [&](const _cell* a, const _cell* b) {
                             long double x = CellToNumber(key(a));
                             long double y = CellToNumber(key(b));
                             return order > 0 ? x < y : y < x;
                         });
    size_t i = 0;
    for (_cell* p = pairs; isCons(p); p = p->cdr.p, i++) {
        SetCar(p, cells[i]);
    }
    return pairs;
}

// SORT$MERGE keeps sorted runs of 1, 2, 4... pairs in RUNS, as the bits of
// a counter: each new pair is merged with the runs it carries into. A pair
// of the second run goes first only when the test holds for its key
// against the first run's, so equal keys keep their order.
const LispText kSortTexts[] = {
    {"SORT$MERGE", R"lisp((progn
  (defun sort$two (a b test)
    (prog (head tl)
      (setq head (list nil))
      (setq tl head)
      next
      (cond ((null a) (rplacd tl b) (return (cdr head)))
            ((null b) (rplacd tl a) (return (cdr head)))
            ((funcall test (car (car b)) (car (car a)))
             (rplacd tl b) (setq tl b) (setq b (cdr b)))
            (t (rplacd tl a) (setq tl a) (setq a (cdr a))))
      (go next)))
  (defun sort$merge (pairs test)
    (prog (runs l carry p)
      (setq runs (list nil))
      (setq l pairs)
      split
      (if (atom l) (go done))
      (setq carry l)
      (setq l (cdr l))
      (rplacd carry nil)
      (setq p runs)
      up
      (cond ((null (car p)) (rplaca p carry) (go split)))
      (setq carry (sort$two (car p) carry test))
      (rplaca p nil)
      (if (null (cdr p)) (rplacd p (list nil)))
      (setq p (cdr p))
      (go up)
      done
      (setq carry nil)
      (setq p runs)
      down
      (if (null p) (return carry))
      (if (car p) (setq carry (sort$two (car p) carry test)))
      (setq p (cdr p))
      (go down)))))lisp"},
    {nullptr, nullptr},
};
