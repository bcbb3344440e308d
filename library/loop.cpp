// The extended LOOP of Common Lisp, loaded on first use
// (library/lisptext.h). The prelude's LOOP keeps its old meaning, an endless
// PROG left with RETURN, for a body that begins with a compound form; a body
// that begins with a symbol (a loop keyword) is handed to LOOP$EXPAND here,
// so start-up and the old loops never read these texts.
//
// The expansion, in the order the parts run:
//   (BLOCK name
//     (LET* (variables in the order of their clauses)
//       (PROG** ()
//         initially forms
//         first-iteration part of every FOR/AS/REPEAT clause, in order
//        LOOP$TOP
//         the main clauses, in order
//         stepping part of every FOR/AS/REPEAT clause, in order
//         (GO LOOP$TOP)
//        LOOP$END
//         finally forms)
//       result))
// so the loop runs with SETQ and GO only, never by recursion, and the
// values the clauses give are computed once, in the LET*, in clause order.
// LOOP-FINISH is (GO LOOP$END): the tags are the same symbols in every
// loop, so it reaches the innermost one. A FOR/AS clause is parsed into
// (first-pairs step-pairs tests after): the pairs assign (SETQ, or one
// PSETQ for the clauses of a group joined by AND), then a test that holds
// ends the loop before the variable is given a value from it, then the
// forms of AFTER give the variables their values (the CAR of an IN list,
// the element of an ACROSS vector, destructuring). A FOR ... IN ends before
// the body once its list is exhausted; an arithmetic FOR steps and then
// tests, so after TO 3 its variable is 4 in FINALLY, as in Common Lisp.
//
// The hidden variables are fresh GENSYMs, so nested loops and the program's
// variables never meet. CAR and CDR of NIL are errors in this dialect:
// destructuring goes through LOOP$CAR and LOOP$CDR, which give NIL for an
// atom, and BY #'CDDR (CDR, CDDDR, CDDDDR) steps with LOOP$CDR too, so an
// odd-length list ends the loop instead of failing.
//
// A list accumulation keeps its head in its variable (the INTO variable, or
// a fresh one for the loop's value) and its last cons in a second variable,
// so COLLECT adds one cons in constant time; APPEND copies its list with
// LOOP$COPY and both it and NCONC find the new end with LOOP$LAST, walking
// only the list added. SUM and COUNT start at 0; MAXIMIZE and MINIMIZE
// start at NIL and so give NIL when no value came. ALWAYS, NEVER, THEREIS
// and the RETURN clause leave with RETURN-FROM, without the FINALLY forms.
// IT, in the clauses of WHEN/IF/UNLESS, is a fresh variable the test is
// stored in, made only when a clause names it.
//
// Loop keywords are recognised by name: LOOP$CANON interns the name of a
// symbol found where a keyword may stand, so :FOR works as FOR does, and
// the tests are then EQ. Values and variables are never replaced by it. A clause it does not know stops the expansion
// with an error naming it; nothing of the loop has run then.
#include "library/lisptext.h"

const LispText kLoopTexts[] = {
    {"LOOP$IS", R"lisp((defun loop$is (x name) (eq x name)))lisp"},
    {"LOOP$CANON", R"lisp((defun loop$canon (x)
          (if (and x (symbolp x)) (intern (symbol-name x)) x)))lisp"},
    {"LOOP$ONE-OF", R"lisp((defun loop$one-of (x names)
          (prog** ()
            next
            (if (atom names) (return-from loop$one-of nil))
            (if (loop$is x (car names)) (return-from loop$one-of t))
            (setq names (cdr names))
            (go next))))lisp"},
    {"LOOP$REV", R"lisp((defun loop$rev (l)
          (prog** (r)
            next
            (if (atom l) (return-from loop$rev r))
            (setq r (cons (car l) r))
            (setq l (cdr l))
            (go next))))lisp"},
    {"LOOP$FAIL", R"lisp((defun loop$fail (text x)
          (error (format nil "~a~a" text x))))lisp"},
    {"LOOP$GET", R"lisp((defun loop$get (st k)
          (prog** ()
            next
            (if (eq (car (car st)) k) (return-from loop$get (cdr (car st))))
            (setq st (cdr st))
            (go next))))lisp"},
    {"LOOP$PUT", R"lisp((defun loop$put (st k v)
          (prog** ()
            next
            (if (eq (car (car st)) k) (progn (rplacd (car st) v) (return-from loop$put v)))
            (setq st (cdr st))
            (go next))))lisp"},
    {"LOOP$ADD", R"lisp((defun loop$add (st k v) (loop$put st k (cons v (loop$get st k)))))lisp"},
    {"LOOP$BIND", R"lisp((defun loop$bind (st var init) (loop$add st 'binds (list var init)) var))lisp"},
    {"LOOP$PEEK", R"lisp((defun loop$peek (st)
          (if (consp (loop$get st 'toks)) (loop$canon (car (loop$get st 'toks))) nil)))lisp"},
    {"LOOP$MORE", R"lisp((defun loop$more (st) (consp (loop$get st 'toks))))lisp"},
    {"LOOP$POP", R"lisp((defun loop$pop (st kw)
          (let ((l (loop$get st 'toks)))
            (if (atom l) (loop$fail "エラー: LOOPの節に式がありません--" kw))
            (loop$put st 'toks (cdr l))
            (car l))))lisp"},
    {"LOOP$VALUE", R"lisp((defun loop$value (st kw)
          (let ((x (loop$pop st kw)))
            (cond ((and (loop$get st 'it) (loop$is (loop$canon x) 'it))
                   (loop$put st 'it-used t)
                   (loop$get st 'it))
                  (t x)))))lisp"},
    {"LOOP$COMPOUNDS", R"lisp((defun loop$compounds (st)
          (prog** (r)
            next
            (if (null (consp (loop$peek st))) (return-from loop$compounds (loop$rev r)))
            (setq r (cons (loop$pop st nil) r))
            (go next))))lisp"},
    {"LOOP$SKIP-TYPE", R"lisp((defun loop$skip-type (st)
          (cond ((loop$is (loop$peek st) 'of-type) (loop$pop st 'of-type) (loop$pop st 'of-type))
                ((loop$one-of (loop$peek st) '(fixnum integer float number real single-float double-float))
                 (loop$pop st nil)))))lisp"},
    {"LOOP$DESTRUCTURE", R"lisp((defun loop$destructure (st pat src)
          (prog** (g forms)
            (if (null pat) (return-from loop$destructure nil))
            (if (symbolp pat)
                (progn (loop$bind st pat nil) (return-from loop$destructure (list (list 'setq pat src)))))
            (setq g (loop$bind st (gensym "D$") nil))
            (setq forms (list (list 'setq g src)))
            next
            (if (atom pat) (go done))
            (setq forms (append (loop$rev (loop$destructure st (car pat) (list 'loop$car g))) forms))
            (if (cdr pat) (setq forms (cons (list 'setq g (list 'loop$cdr g)) forms)))
            (setq pat (cdr pat))
            (go next)
            done
            (if pat (progn (loop$bind st pat nil) (setq forms (cons (list 'setq pat g) forms))))
            (return-from loop$destructure (loop$rev forms)))))lisp"},
    {"LOOP$CAR", R"lisp((defun loop$car (x) (if (consp x) (car x) nil)))lisp"},
    {"LOOP$CDR", R"lisp((defun loop$cdr (x) (if (consp x) (cdr x) nil)))lisp"},
    {"LOOP$LAST", R"lisp((defun loop$last (x)
          (prog** ()
            (if (atom x) (return-from loop$last x))
            next
            (if (atom (cdr x)) (return-from loop$last x))
            (setq x (cdr x))
            (go next))))lisp"},
    {"LOOP$COPY", R"lisp((defun loop$copy (x)
          (prog** (r tl)
            (if (atom x) (return-from loop$copy x))
            (setq r (list (car x)))
            (setq tl r)
            next
            (setq x (cdr x))
            (if (atom x) (progn (rplacd tl x) (return-from loop$copy r)))
            (rplacd tl (list (car x)))
            (setq tl (cdr tl))
            (go next))))lisp"},
    {"LOOP$MAX", R"lisp((defun loop$max (a b) (if (or (null a) (> b a)) b a)))lisp"},
    {"LOOP$MIN", R"lisp((defun loop$min (a b) (if (or (null a) (< b a)) b a)))lisp"},
    {"LOOP$EXPAND", R"lisp((defun loop$expand (forms)
          (let ((st (list (cons 'toks forms) (cons 'name nil) (cons 'binds nil) (cons 'iters nil)
                          (cons 'body nil) (cons 'inits nil) (cons 'finals nil) (cons 'accs nil)
                          (cons 'result nil) (cons 'it nil) (cons 'it-used nil))))
            (if (loop$is (loop$canon (car forms)) 'named)
                (progn (loop$pop st 'named) (loop$put st 'name (loop$pop st 'named))))
            (loop$parse st)
            (loop$build st))))lisp"},
    {"LOOP$PARSE", R"lisp((defun loop$parse (st)
          (prog** (x)
            next
            (if (null (loop$more st)) (return-from loop$parse st))
            (setq x (loop$canon (loop$pop st nil)))
            (cond ((loop$one-of x '(for as)) (loop$for-group st x))
                  ((loop$is x 'repeat)
                   (loop$add st 'iters
                             (list (loop$repeat st (loop$bind st (gensym "N$") (loop$pop st x))))))
                  ((loop$is x 'with) (loop$with st))
                  ((loop$is x 'initially)
                   (loop$put st 'inits (append (loop$rev (loop$compounds st)) (loop$get st 'inits))))
                  ((loop$is x 'finally)
                   (loop$put st 'finals (append (loop$rev (loop$compounds st)) (loop$get st 'finals))))
                  (t (loop$put st 'body (append (loop$rev (loop$main st x)) (loop$get st 'body)))))
            (go next))))lisp"},
    {"LOOP$REPEAT", R"lisp((defun loop$repeat (st n)
          (list nil (list (list n (list '- n 1))) (list (list '<= n 0)) nil)))lisp"},
    {"LOOP$WITH", R"lisp((defun loop$with (st)
          (prog** (var init)
            next
            (setq var (loop$pop st 'with))
            (loop$skip-type st)
            (setq init nil)
            (if (loop$is (loop$peek st) '=) (progn (loop$pop st '=) (setq init (loop$pop st '=))))
            (if (symbolp var)
                (loop$bind st var init)
                (loop$put st 'inits
                          (append (loop$rev (loop$destructure st var (loop$bind st (gensym "W$") init)))
                                  (loop$get st 'inits))))
            (if (loop$is (loop$peek st) 'and) (progn (loop$pop st 'and) (go next))))))lisp"},
    {"LOOP$FOR-GROUP", R"lisp((defun loop$for-group (st kw)
          (prog** (group)
            next
            (setq group (cons (loop$for st kw) group))
            (if (loop$is (loop$peek st) 'and) (progn (setq kw (loop$pop st kw)) (go next)))
            (loop$add st 'iters (loop$rev group)))))lisp"},
    {"LOOP$FOR", R"lisp((defun loop$for (st kw)
          (prog** (var how v after)
            (setq var (loop$pop st kw))
            (loop$skip-type st)
            (setq how (loop$canon (loop$pop st var)))
            (setq v var)
            (if (consp var) (setq v (gensym "V$")))
            (cond ((loop$one-of how '(in on across =))
                   (setq after (if (consp var) (loop$destructure st var v) nil))))
            (if (loop$is how 'in)
                (return-from loop$for (loop$in st v how after)))
            (if (loop$is how 'on)
                (return-from loop$for (loop$on st v how after)))
            (if (loop$is how 'across)
                (return-from loop$for (loop$across st v how after)))
            (if (loop$is how '=)
                (return-from loop$for (loop$equals st v how after)))
            (if (loop$is how 'being)
                (return-from loop$for
                  (loop$being st v how (if (consp var) (loop$destructure st var v) nil))))
            (if (loop$one-of how '(from upfrom downfrom to upto below downto above by))
                (return-from loop$for (loop$arith st var how)))
            (loop$fail "エラー: LOOPの知らない節です--" how))))lisp"},
    {"LOOP$BY", R"lisp((defun loop$by (st l kw)
          (let ((f nil))
            (cond ((loop$is (loop$peek st) 'by)
                   (loop$pop st kw)
                   (setq f (loop$pop st 'by))
                   (if (and (consp f) (or (eq (car f) 'function) (eq (car f) 'quote))
                            (consp (cdr f)) (symbolp (car (cdr f))))
                       (loop$walk (car (cdr f)) l)
                       (list 'funcall (loop$bind st (gensym "F$") f) l)))
                  (t (list 'cdr l))))))lisp"},
    {"LOOP$WALK", R"lisp((defun loop$walk (f l)
          (let ((n (assoc f '((cdr . 1) (cddr . 2) (cdddr . 3) (cddddr . 4)))))
            (if n
                (prog** (r k)
                  (setq r l)
                  (setq k (cdr n))
                  next
                  (if (= k 0) (return-from loop$walk r))
                  (setq r (list 'loop$cdr r))
                  (setq k (1- k))
                  (go next))
                (list f l)))))lisp"},
    {"LOOP$IN", R"lisp((defun loop$in (st v how after)
          (let ((l (loop$bind st (gensym "L$") (loop$pop st how))))
            (if (symbolp v) (loop$bind st v nil))
            (list nil (list (list l (loop$by st l how))) (list (list 'atom l))
                  (cons (list 'setq v (list 'car l)) after)))))lisp"},
    {"LOOP$ON", R"lisp((defun loop$on (st v how after)
          (loop$bind st v (loop$pop st how))
          (list nil (list (list v (loop$by st v how))) (list (list 'atom v)) after)))lisp"},
    {"LOOP$ACROSS", R"lisp((defun loop$across (st v how after)
          (let* ((a (loop$bind st (gensym "A$") (loop$pop st how)))
                 (i (loop$bind st (gensym "I$") 0))
                 (n (loop$bind st (gensym "N$") (list 'length a))))
            (if (symbolp v) (loop$bind st v nil))
            (list nil (list (list i (list '+ i 1))) (list (list '>= i n))
                  (cons (list 'setq v (list 'aref a i)) after)))))lisp"},
    {"LOOP$BEING", R"lisp((defun loop$being (st v how after)
          (prog** (kind l other key)
            (if (loop$one-of (loop$peek st) '(the each)) (loop$pop st how))
            (setq kind (loop$peek st))
            (loop$pop st how)
            (cond ((loop$one-of kind '(hash-key hash-keys)) (setq key t))
                  ((null (loop$one-of kind '(hash-value hash-values)))
                   (loop$fail "エラー: LOOPの知らない節です--" kind)))
            (if (null (loop$one-of (loop$peek st) '(of in)))
                (loop$fail "エラー: LOOPの知らない節です--" (loop$peek st)))
            (loop$pop st kind)
            (setq l (loop$bind st (gensym "H$") (list 'loop$hash-pairs (loop$pop st kind))))
            (cond ((loop$is (loop$peek st) 'using)
                   (loop$pop st kind)
                   (setq other (loop$pop st 'using))
                   (if (null (and (consp other) (consp (cdr other))
                                  (loop$one-of (loop$canon (car other))
                                               (if key '(hash-value) '(hash-key)))
                                  (symbolp (car (cdr other)))))
                       (loop$fail "エラー: LOOPの知らない節です--" other))
                   (setq other (car (cdr other)))
                   (loop$bind st other nil)))
            (if (symbolp v) (loop$bind st v nil))
            (return-from loop$being
              (list nil (list (list l (list 'cdr l))) (list (list 'atom l))
                    (cons (list 'setq v (list (if key 'car 'cdr) (list 'car l)))
                          (if other
                              (cons (list 'setq other (list (if key 'cdr 'car) (list 'car l))) after)
                              after)))))))lisp"},
    {"LOOP$HASH-PAIRS", R"lisp((defun loop$hash-pairs (table)
          (let ((r nil))
            (maphash (function (lambda (k v) (setq r (cons (cons k v) r)))) table)
            (loop$rev r))))lisp"},
    {"LOOP$EQUALS", R"lisp((defun loop$equals (st v how after)
          (let ((init (loop$pop st how)))
            (if (symbolp v) (loop$bind st v nil))
            (cond ((loop$is (loop$peek st) 'then)
                   (loop$pop st how)
                   (list (list (list v init)) (list (list v (loop$pop st 'then))) nil after))
                  (t (list (list (list v init)) (list (list v init)) nil after))))))lisp"},
    {"LOOP$ARITH", R"lisp((defun loop$arith (st var how)
          (prog** (start limit step down excl x)
            (setq step 1)
            next
            (cond ((loop$one-of how '(from upfrom downfrom))
                   (setq start (loop$pop st how))
                   (if (loop$is how 'downfrom) (setq down t)))
                  ((loop$one-of how '(to upto below downto above))
                   (setq limit (loop$pop st how))
                   (setq x how)
                   (if (loop$one-of how '(downto above)) (setq down t))
                   (if (loop$one-of how '(below above)) (setq excl t)))
                  ((loop$is how 'by) (setq step (loop$pop st how)))
                  (t (go done)))
            (setq how (loop$peek st))
            (if (loop$one-of how '(from upfrom downfrom to upto below downto above by))
                (progn (loop$pop st how) (go next)))
            done
            (if (null (symbolp var)) (loop$fail "エラー: LOOPの知らない節です--" var))
            (loop$bind st var (if start start 0))
            (if (and x (null (numberp limit))) (setq limit (loop$bind st (gensym "E$") limit)))
            (if (null (numberp step)) (setq step (loop$bind st (gensym "B$") step)))
            (return-from loop$arith
              (list nil
                    (list (list var (list (if down '- '+) var step)))
                    (if x
                        (list (list (if down (if excl '<= '<) (if excl '>= '>)) var limit))
                        nil)
                    nil)))))lisp"},
    {"LOOP$MAIN", R"lisp((defun loop$main (st x)
          (let ((name (loop$get st 'name)) (v nil))
            (cond ((loop$one-of x '(do doing)) (loop$compounds st))
                  ((loop$is x 'while) (list (list 'if (list 'null (loop$pop st x)) '(go loop$end))))
                  ((loop$is x 'until) (list (list 'if (loop$pop st x) '(go loop$end))))
                  ((loop$is x 'always)
                   (loop$put st 'result t)
                   (list (list 'if (list 'null (loop$pop st x)) (list 'return-from name nil))))
                  ((loop$is x 'never)
                   (loop$put st 'result t)
                   (list (list 'if (loop$pop st x) (list 'return-from name nil))))
                  ((loop$is x 'thereis)
                   (setq v (loop$bind st (gensym "T$") nil))
                   (list (list 'if (list 'setq v (loop$pop st x)) (list 'return-from name v))))
                  ((loop$one-of x '(when if unless)) (list (loop$conditional st x)))
                  ((loop$is x 'return) (list (list 'return-from name (loop$value st x))))
                  ((loop$one-of x '(collect collecting append appending nconc nconcing
                                    sum summing count counting
                                    maximize maximizing minimize minimizing))
                   (loop$accumulate st x))
                  (t (loop$fail "エラー: LOOPの知らない節です--" x))))))lisp"},
    {"LOOP$CONDITIONAL", R"lisp((defun loop$conditional (st x)
          (let ((test (loop$pop st x)) (saved (loop$get st 'it)) (used (loop$get st 'it-used))
                (v (gensym "IT$")) (then nil) (else nil))
            (loop$put st 'it v)
            (loop$put st 'it-used nil)
            (setq then (loop$selectables st x))
            (if (loop$is (loop$peek st) 'else)
                (progn (loop$pop st x) (setq else (loop$selectables st 'else))))
            (if (loop$is (loop$peek st) 'end) (loop$pop st x))
            (if (loop$get st 'it-used) (setq test (list 'setq (loop$bind st v nil) test)))
            (loop$put st 'it saved)
            (loop$put st 'it-used used)
            (if (loop$is x 'unless) (setq test (list 'null test)))
            (list 'if test (cons 'progn then) (cons 'progn else)))))lisp"},
    {"LOOP$SELECTABLES", R"lisp((defun loop$selectables (st kw)
          (prog** (r x)
            next
            (setq x (loop$canon (loop$pop st kw)))
            (setq r (append (loop$rev (loop$main st x)) r))
            (if (loop$is (loop$peek st) 'and) (progn (setq kw (loop$pop st kw)) (go next)))
            (return-from loop$selectables (loop$rev r)))))lisp"},
    {"LOOP$ACCUMULATE", R"lisp((defun loop$accumulate (st x)
          (prog** (form into kind a var tl)
            (setq form (loop$value st x))
            (if (loop$is (loop$peek st) 'into) (progn (loop$pop st x) (setq into (loop$pop st 'into))))
            (loop$skip-type st)
            (setq kind (cond ((loop$one-of x '(collect collecting append appending nconc nconcing)) 'list)
                             ((loop$one-of x '(sum summing count counting)) 'sum)
                             (t 'max)))
            (setq a (assoc (if into into 'loop$default) (loop$get st 'accs)))
            (if a
                (setq a (cdr a))
                (progn
                  (setq var (if into into (gensym "R$")))
                  (loop$bind st var (if (eq kind 'sum) 0 nil))
                  (setq tl (if (eq kind 'list) (loop$bind st (gensym "T$") nil) nil))
                  (setq a (list var tl))
                  (loop$add st 'accs (cons (if into into 'loop$default) a))
                  (if (null into) (loop$put st 'result var))))
            (setq var (car a))
            (setq tl (car (cdr a)))
            (if (and (eq kind 'list) (null tl))
                (loop$fail "エラー: LOOPの集め方が混ざっています--" x))
            (return-from loop$accumulate
              (list
                (cond ((loop$one-of x '(collect collecting))
                       (list 'if tl
                             (list 'setq tl (list 'cdr (list 'rplacd tl (list 'list form))))
                             (list 'setq tl (list 'setq var (list 'list form)))))
                      ((loop$one-of x '(append appending nconc nconcing))
                       (setq form (if (loop$one-of x '(append appending)) (list 'loop$copy form) form))
                       (list 'if tl
                             (list 'setq tl (list 'loop$last (list 'rplacd tl form)))
                             (list 'setq tl (list 'loop$last (list 'setq var form)))))
                      ((loop$one-of x '(sum summing)) (list 'setq var (list '+ var form)))
                      ((loop$one-of x '(count counting)) (list 'if form (list 'setq var (list '+ var 1))))
                      ((loop$one-of x '(maximize maximizing)) (list 'setq var (list 'loop$max var form)))
                      (t (list 'setq var (list 'loop$min var form)))))))))lisp"},
    {"LOOP$GROUP", R"lisp((defun loop$group (g k)
          (prog** (pairs tests after c)
            next
            (if (atom g) (go done))
            (setq c (car g))
            (setq pairs (append (loop$rev (nth k c)) pairs))
            (setq tests (append (loop$rev (nth 2 c)) tests))
            (setq after (append (loop$rev (nth 3 c)) after))
            (setq g (cdr g))
            (go next)
            done
            (setq pairs (loop$rev pairs))
            (setq tests (loop$rev tests))
            (return-from loop$group
              (append (cond ((null pairs) nil)
                            ((null (cdr pairs)) (list (cons 'setq (car pairs))))
                            (t (list (cons 'psetq (loop$flat pairs)))))
                      (cond ((null tests) nil)
                            ((null (cdr tests)) (list (list 'if (car tests) '(go loop$end))))
                            (t (list (list 'if (cons 'or tests) '(go loop$end)))))
                      (loop$rev after))))))lisp"},
    {"LOOP$FLAT", R"lisp((defun loop$flat (pairs)
          (prog** (r)
            next
            (if (atom pairs) (return-from loop$flat (loop$rev r)))
            (setq r (cons (car (cdr (car pairs))) (cons (car (car pairs)) r)))
            (setq pairs (cdr pairs))
            (go next))))lisp"},
    {"LOOP$BUILD", R"lisp((defun loop$build (st)
          (prog** (iters firsts steps body)
            (setq iters (loop$rev (loop$get st 'iters)))
            next
            (if (atom iters) (go done))
            (setq firsts (append (loop$rev (loop$group (car iters) 0)) firsts))
            (setq steps (append (loop$rev (loop$group (car iters) 1)) steps))
            (setq iters (cdr iters))
            (go next)
            done
            (setq body
                  (cons 'prog**
                        (cons nil
                              (append (loop$rev (loop$get st 'inits))
                                      (append (loop$rev firsts)
                                              (cons 'loop$top
                                                    (append (loop$rev (loop$get st 'body))
                                                            (append (loop$rev steps)
                                                                    (cons '(go loop$top)
                                                                          (cons 'loop$end
                                                                                (loop$rev (loop$get st 'finals))))))))))))
            (return-from loop$build
              (list 'block (loop$get st 'name)
                    (if (loop$get st 'binds)
                        (list 'let* (loop$rev (loop$get st 'binds)) body (loop$get st 'result))
                        (list 'progn body (loop$get st 'result))))))))lisp"},
    {"LOOP-FINISH", R"lisp((defmacro loop-finish () '(go loop$end)))lisp"},
    {nullptr, nullptr},
};
