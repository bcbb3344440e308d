// clisp layer, top-level part: the prelude, the part of the library written
// in the dialect itself.
//
// One complete top-level expression per text, evaluated in this order at
// start-up; a macro must precede any text that expands it while being
// evaluated, while functions may call ones defined later. The loader
// upper-cases everything outside strings and character literals and reads
// `;` as an ordinary character, so the texts carry no comments; these
// notes stand in for them.
//
// - Library loops run in PROG** directly and leave with RETURN-FROM of the
//   function's own block: they open no BLOCK NIL that a RETURN in a
//   function passed to them could land in. The value form of such a
//   RETURN-FROM never fails: what can fail is computed into a variable
//   first, so a failure travels as a plain error.
// - <, >, <= and >= take one number or more and hand them to COMPARE$,
//   which orders numbers without subtracting them (a difference could
//   pass the range of long); MOD is the remainder of QUOTIENT$'s FLOOR.
// - DOLIST keeps the walked list in DOLIST-LIST$, declared by its own PROG,
//   so nested loops and a caller's variable LIST stay apart. DOTIMES
//   evaluates its count once, into DOTIMES-COUNT$, and ends once its
//   variable is no longer below it.
// - CASE takes T and OTHERWISE alike as the key of the clause that
//   catches every value. A key that is a form is evaluated once, into
//   CASE-KEY$; a variable is tested as it is. A clause without forms
//   answers NIL, where a COND clause of a test alone answers the test.
// - SUBSEQ collects while the index is below the end: CHAR past the end of
//   a string gives NIL rather than an error, so a start beyond the end
//   gives an empty sequence instead of a loop without end.
// - MAKE-ARRAY stores no contents when a dimension is 0: such an array has
//   no position to store into.
// - SETF of several pairs is a PROGN of SETFs of one pair each, so the
//   pairs are assigned in order and the last value is returned. A place
//   it does not know itself is handed to PLACE$SETF (library/forms.cpp),
//   which knows SYMBOL-VALUE, GET, ELT and the accessors DEFSTRUCT makes and
//   otherwise expands into the error SETF always gave.
// - GETHASH takes an optional default, its value when the key is absent.
// - MEMBER and ASSOC walk the list themselves when called without keyword
//   arguments (EQL and EQ); a call with a keyword and its value goes to
//   MEMBER$KEYED or ASSOC$KEYED (library/objects.cpp), which know :TEST,
//   :TEST-NOT and :KEY. A keyword without a value is ignored, as it was.
// - CHAR=, CHAR/=, CHAR>, CHAR<= and CHAR>= of two characters are the
//   built-ins' answers; of more, CHAR$COMPARE (library/strings.cpp).
// - SETF evaluates its value form exactly once, after the place's own
//   arguments. The expansion hands the cell to change and the value as
//   arguments to a lambda, so both are evaluated in the caller's frame (a
//   closure made by the value form captures that frame, not a frame of the
//   expansion) and the lambda's copy-in happens after they ran, so its
//   write-back cannot undo their assignments. The lambda's parameters carry
//   a `$`, as do the ones of MULTIPLE-VALUE-SETQ: no program names a
//   variable like that, so every variable of the caller can be assigned.
// - LOOP whose body begins with a symbol is the extended loop of Common
//   Lisp, expanded by LOOP$EXPAND (library/loop.cpp), which is read the
//   first time such a loop is expanded; a body that begins with a form
//   keeps the endless PROG, so start-up and the prelude's own loops never
//   read the library text.
// - While LOAD reads a file, *LOAD-PATHNAME* is its name as given (the
//   global is set and put back however loading ends: a library form binds
//   every name lexically), so that a file can find the files beside it.
// - LOAD reads up to the real end of the file: its end-of-file value is a
//   fresh cons, which no expression read from a file can be EQ to. The
//   stream is closed however loading ends (UNWIND-PROTECT); a failing
//   expression still makes LOAD yield no value. Each expression of the
//   file runs as the body of a lambda without parameters made afresh, so
//   it runs in an empty frame and sees exactly what the prompt sees: none
//   of LOAD's own variables, and no BLOCK NIL of a loop that a RETURN in
//   the file could land in. LOAD's names carry a `$` for the rest (its
//   label, the GO of a file form).
#include "toplevel/clisp.h"

const char* const ReadEvalData[] = {
    R"lisp0((setq pi 3.14159265358979))lisp0",
    R"lisp1((defmacro prog (args &rest bd) `(block nil (prog** ,args ,@bd))))lisp1",
    R"lisp2((defmacro return (&rest x) `(return-from nil ,@x)))lisp2",
    R"lisp3((defun oddp (n) (cond ((evenp n) nil) (t t))))lisp3",
    R"lisp4((defun append1 (x y)
          (prog (r tl)
            (if (atom x) (return y))
            (setq r (list (car x)) tl r x (cdr x))
            lab
            (if (atom x) (progn (rplacd tl y) (return r)))
            (rplacd tl (list (car x)))
            (setq tl (cdr tl) x (cdr x))
            (go lab))))lisp4",
    R"lisp5((defmacro loop1 (&rest b) `(prog () label ,@b (go label))))lisp5",
    R"lisp6((defmacro loop (&rest b)
          (if (and b (car b) (symbolp (car b)))
              (loop$expand b)
              `(prog () label ,@b (go label)))))lisp6",
    R"lisp7((defmacro dolist (&rest b)
          `(prog (,(car (car b)) dolist-list$)
             (setq dolist-list$ ,(car (cdr (car b))))
             label
             (if (null dolist-list$) (setq ,(car (car b)) nil))
             (if (null dolist-list$)
                 (return ,(if (consp (cdr (cdr (car b)))) (car (cdr (cdr (car b)))) nil)))
             (setq ,(car (car b)) (car dolist-list$))
             ,@(cdr b)
             (setq dolist-list$ (cdr dolist-list$))
             (go label))))lisp7",
    R"lisp8((defmacro dotimes (&rest b)
          `(prog (,(car (car b)) dotimes-count$)
             (setq dotimes-count$ ,(car (cdr (car b))))
             (setq ,(car (car b)) 0)
             label
             (if (>= ,(car (car b)) dotimes-count$)
                 (return ,(if (consp (cdr (cdr (car b)))) (car (cdr (cdr (car b)))) nil)))
             ,@(cdr b)
             (setq ,(car (car b)) (1+ ,(car (car b))))
             (go label))))lisp8",
    R"lisp9((defun load (load$fname)
          (let ((load$strm nil) (load$form nil) (load$eof (cons nil nil))
                (load$outer *load-pathname*))
            (setq load$strm (open load$fname))
            (cond ((null load$strm) nil)
                  (t (setq *load-pathname* load$fname)
                     (unwind-protect
                       (prog** ()
                         load$next
                         (setq load$form (read load$strm nil load$eof))
                         (if (eq load$form load$eof) (return-from load t))
                         (funcall (list 'lambda nil load$form))
                         (go load$next))
                       (close load$strm)
                       (setq *load-pathname* load$outer)))))))lisp9",
    R"lisp10((defmacro with-open-file (a &rest b)
          `(let ((,(car a) (open ,@(cdr a))))
             (unwind-protect
               (if (null ,(car a)) nil (progn ,@b))
               (if (not (null ,(car a))) (progn (close ,(car a)) (if script-mode$ nil (print 'closed))))))))lisp10",
    R"lisp11((defun not (e) (cond ((null e) t) (t nil))))lisp11",
    R"lisp12((defun zerop (x) (cond ((= x 0) t) (t nil))))lisp12",
    R"lisp13((defun listp (x) (cond ((null x) t) ((not (atom x)) t) (t nil))))lisp13",
    R"lisp14((defun > (x &rest more) (compare$ '> x more)))lisp14",
    R"lisp15((defun >= (x &rest more) (compare$ '>= x more)))lisp15",
    R"lisp16((defun < (x &rest more) (compare$ '< x more)))lisp16",
    R"lisp17((defun <= (x &rest more) (compare$ '<= x more)))lisp17",
    R"lisp18((defun equal (x y)
          (cond ((eq x y) t)
                ((atom x)
                 (cond ((eql x y) t)
                       ((and (stringp x) (stringp y)) (string-equal x y))
                       (t nil)))
                ((atom y) nil)
                ((equal (car x) (car y)) (equal (cdr x) (cdr y)))
                (t nil))))lisp18",
    R"lisp19((defun subseq (x m &rest n)
          (prog** (e ans tl)
            (setq e (if (and n (car n)) (car n) (length x)))
            (setq ans (list nil))
            (setq tl ans)
            label
            (if (null (< m e)) (go done))
            (rplacd tl (list (if (stringp x) (char x m) (nth m x))))
            (setq tl (cdr tl))
            (setq m (1+ m))
            (go label)
            done
            (if (stringp x) (setq ans (coerce (cdr ans) 'string)) (setq ans (cdr ans)))
            (return-from subseq ans))))lisp19",
    R"lisp20((defun nth (n lst)
          (prog** (k)
            (setq k 0)
            label
            (if (= k n) (go done))
            (setq lst (cdr lst))
            (setq k (1+ k))
            (go label)
            done)
          (car lst)))lisp20",
    R"lisp21((defun pprint (x)(pprint2 x 0)(terpri) t ))lisp21",
    R"lisp22((defun pprint2 (x n) (spaces n) (pprint3 x n)))lisp22",
    R"lisp23((defun pprint3 (x n)
          (cond ((or (atom x) (is-all-atom-1-list x)) (prin1 x))
                (t (princ "(")
                   (pprint3 (car x) (1+ n))
                   (prog** (l)
                     (setq l (cdr x))
                     label
                     (if (atom l) (return-from pprint3 (princ ")")))
                     (terpri)
                     (pprint2 (car l) (1+ n))
                     (setq l (cdr l))
                     (go label))))))lisp23",
    R"lisp24((defun is-all-atom (x)
          (cond ((atom x) t)
                ((atom (car x)) (is-all-atom (cdr x)))
                (t nil))))lisp24",
    R"lisp25((defun is-all-atom-1-list (x)
          (cond ((atom x) t)
                ((is-all-atom (car x)) (is-all-atom-1-list (cdr x)))
                (t nil))))lisp25",
    R"lisp26((defmacro append (&rest l)
          (cond ((null l) nil)
                ((null (cdr l)) (car l))
                (t `(append1 ,(car l) (append ,@(cdr l)))))))lisp26",
    R"lisp27((defun reverse (x)(cond((stringp x) (coerce (reverse1 (coerce x 'list)) 'string)) (t (reverse1 x)) ) ))lisp27",
    R"lisp28((defun reverse1 (x)(cond((atom x) x)(t (append (reverse (cdr x)) (cons (car x) nil))) ) ))lisp28",
    R"lisp29((defun multiple-value-born$ (arg value)
          (cond ((atom arg) nil)
                ((consp value)
                 (cons (list 'setq (car arg) (list 'quote (car value)))
                       (multiple-value-born$ (cdr arg) (cdr value))))
                (t (cons (list 'setq (car arg) nil)
                         (multiple-value-born$ (cdr arg) nil))))))lisp29",
    R"lisp30((defmacro multiple-value-setq (a b)
          `(funcall #'(lambda (mvs$vars mvs$values)
                       (eval (list 'multiple-value-setq$ mvs$vars mvs$values)))
                    ',a
                    (multiple-value-list ,b))))lisp30",
    R"lisp31((defmacro multiple-value-setq$ (a b) (cons 'prog1 (multiple-value-born$ a b))))lisp31",
    R"lisp32((defmacro multiple-value-bind (a b &rest c)
          `(let ,(mapcar #'list a) (multiple-value-setq ,a ,b) ,@c)))lisp32",
    R"lisp33((defun mapcar (func a &rest b)
          (prog** (r tl l)
            (setq r (list nil))
            (setq tl r)
            (if (atom b) (go one))
            (if (consp (cdr b)) (return-from mapcar (mapcar$n func (cons a b))))
            (setq l (car b))
            two
            (if (or (atom a) (atom l)) (return-from mapcar (cdr r)))
            (rplacd tl (list (apply func (list (car a) (car l)))))
            (setq tl (cdr tl))
            (setq a (cdr a))
            (setq l (cdr l))
            (go two)
            one
            (if (atom a) (return-from mapcar (cdr r)))
            (rplacd tl (list (funcall func (car a))))
            (setq tl (cdr tl))
            (setq a (cdr a))
            (go one))))lisp33",
    R"lisp34((defun member (item lst &rest a)
          (prog** ()
            (if (and (consp a) (consp (cdr a))) (return-from member (member$keyed item lst a)))
            label
            (if (atom lst) (return-from member nil))
            (if (eql item (car lst)) (return-from member lst))
            (setq lst (cdr lst))
            (go label))))lisp34",
    R"lisp35((defun first (x) (car x)))lisp35",
    R"lisp36((defun rest (x) (cdr x)))lisp36",
    R"lisp37((defun char= (x y &rest more) (if more (apply #'char-equal x y more) (char-equal x y))))lisp37",
    R"lisp38((defun char/= (x y &rest more) (if more (char$compare (cons x (cons y more)) 0) (not (char-equal x y)))))lisp38",
    R"lisp39((defun char> (x y &rest more) (if more (char$compare (cons x (cons y more)) 1) (char< y x))))lisp39",
    R"lisp40((defun char<= (x y &rest more) (if more (char$compare (cons x (cons y more)) 2) (or (char< x y) (char= x y)))))lisp40",
    R"lisp41((defun char>= (x y &rest more) (if more (char$compare (cons x (cons y more)) 3) (or (char> x y) (char= x y)))))lisp41",
    R"lisp42((defmacro lambda (&rest b) `(function (lambda ,@b))))lisp42",
    R"lisp43((defun caaaar (x) (car (caaar x))))lisp43",
    R"lisp44((defun caaadr (x) (car (caadr x))))lisp44",
    R"lisp45((defun caaar (x) (car (caar x))))lisp45",
    R"lisp46((defun caadar (x) (car (cadar x))))lisp46",
    R"lisp47((defun caaddr (x) (car (caddr x))))lisp47",
    R"lisp48((defun caadr (x) (car (cadr x))))lisp48",
    R"lisp49((defun caar (x) (car (car x))))lisp49",
    R"lisp50((defun cadaar (x) (car (cdaar x))))lisp50",
    R"lisp51((defun cadadr (x) (car (cdadr x))))lisp51",
    R"lisp52((defun cadar (x) (car (cdar x))))lisp52",
    R"lisp53((defun caddar (x) (car (cddar x))))lisp53",
    R"lisp54((defun cadddr (x) (car (cdddr x))))lisp54",
    R"lisp55((defun caddr (x) (car (cddr x))))lisp55",
    R"lisp56((defun cadr (x) (car (cdr x))))lisp56",
    R"lisp57((defun cdaaar (x) (cdr (caaar x))))lisp57",
    R"lisp58((defun cdaadr (x) (cdr (caadr x))))lisp58",
    R"lisp59((defun cdaar (x) (cdr (caar x))))lisp59",
    R"lisp60((defun cdadar (x) (cdr (cadar x))))lisp60",
    R"lisp61((defun cdaddr (x) (cdr (caddr x))))lisp61",
    R"lisp62((defun cdadr (x) (cdr (cadr x))))lisp62",
    R"lisp63((defun cdar (x) (cdr (car x))))lisp63",
    R"lisp64((defun cddaar (x) (cdr (cdaar x))))lisp64",
    R"lisp65((defun cddadr (x) (cdr (cdadr x))))lisp65",
    R"lisp66((defun cddar (x) (cdr (cdar x))))lisp66",
    R"lisp67((defun cdddar (x) (cdr (cddar x))))lisp67",
    R"lisp68((defun cddddr (x) (cdr (cdddr x))))lisp68",
    R"lisp69((defun cdddr (x) (cdr (cddr x))))lisp69",
    R"lisp70((defun cddr (x) (cdr (cdr x))))lisp70",
    R"lisp71((defun second (x) (nth 1 x)))lisp71",
    R"lisp72((defun third (x) (nth 2 x)))lisp72",
    R"lisp73((defun fourth (x) (nth 3 x)))lisp73",
    R"lisp74((defun fifth (x) (nth 4 x)))lisp74",
    R"lisp75((defun sixth (x) (nth 5 x)))lisp75",
    R"lisp76((defun seventh (x) (nth 6 x)))lisp76",
    R"lisp77((defun eighth (x) (nth 7 x)))lisp77",
    R"lisp78((defun ninth (x) (nth 8 x)))lisp78",
    R"lisp79((defun tenth (x) (nth 9 x)))lisp79",
    R"lisp80((defmacro setf (x? y? &rest more?)
          (let ((c? (cond ((or (atom x?) (atom (cdr x?))) nil)
                          ((eq (car x?) 'car) (list 'rplaca (car (cdr x?))))
                          ((or (eq (car x?) 'cdr) (eq (car x?) 'rest)) (list 'rplacd (car (cdr x?))))
                          ((and (eq (car x?) 'nth) (consp (cdr (cdr x?))))
                           (list 'rplaca (list 'nthcdr (car (cdr x?)) (car (cdr (cdr x?))))))
                          ((find-nth-name (car x?))
                           (list 'rplaca (list 'nthcdr (cdr (find-nth-name (car x?))) (car (cdr x?)))))
                          ((find-a-name (car x?))
                           (list 'rplaca (list (cdr (find-a-name (car x?))) (car (cdr x?)))))
                          ((find-d-name (car x?))
                           (list 'rplacd (list (cdr (find-d-name (car x?))) (car (cdr x?))))))))
            (cond (more? `(progn (setf ,x? ,y?) (setf ,@more?)))
                  ((symbolp x?) `(setq ,x? ,y?))
                  (c? `(funcall #'(lambda (setf$cell setf$value)
                                    (,(car c?) setf$cell setf$value) setf$value)
                                ,(car (cdr c?)) ,y?))
                  ((and (consp x?) (eq (car x?) 'gethash) (consp (cdr x?)) (consp (cdr (cdr x?))))
                   `(setf-hash ,(car (cdr x?)) ,(car (cdr (cdr x?))) ,y?))
                  ((and (consp x?) (eq (car x?) 'aref) (consp (cdr x?)))
                   `(funcall #'(lambda (setf$array setf$indexes setf$value)
                                 (rplaca (apply #'pre-aref (cons setf$value (cons setf$array setf$indexes)))
                                         setf$value)
                                 setf$value)
                             ,(car (cdr x?)) (list ,@(cdr (cdr x?))) ,y?))
                  (t (place$setf x? y?))))))lisp80",
    R"lisp81((defun setf-hash (k i v)
          (prog** (e l)
            (if (hash$put k i v) (return-from setf-hash v))
            (setq e (assoc k (cdr (cdr i)) :test (car (cdr i))))
            (if e (progn (rplacd e v) (return-from setf-hash v)))
            (setq l i)
            label
            (if (consp (cdr l)) (progn (setq l (cdr l)) (go label)))
            (rplacd l (list (cons k v)))
            (return-from setf-hash v))))lisp81",
    R"lisp82((defun find-nth-name (name) (assoc name '((first . 0) (second . 1) (third . 2) (fourth . 3) (fifth . 4) (sixth . 5) (seventh . 6) (eighth . 7) (ninth . 8) (tenth . 9)))))lisp82",
    R"lisp83((defun nthcdr (n lst)(cond((> 0 n) nil)((atom lst) lst)((zerop n) lst)(t (nthcdr (1- n) (cdr lst))) ) ))lisp83",
    R"lisp84((defun assoc (x alist &rest r)
          (prog** ()
            (if (and (consp r) (consp (cdr r))) (return-from assoc (assoc$keyed x alist r)))
            label
            (if (atom alist) (return-from assoc nil))
            (if (eq x (car (car alist))) (return-from assoc (car alist)))
            (setq alist (cdr alist))
            (go label))))lisp84",
    R"lisp85((defun find-a-name (name) (assoc name '((caar . car) (cadr . cdr) (caaar . caar) (caadr . cadr) (cadar . cdar) (caddr . cddr) (caaaar . caaar) (caaadr . caadr) (caadar . cadar) (caaddr . caddr) (cadaar . cdaar) (cadadr . cdadr) (caddar . cddar) (cadddr . cdddr)))))lisp85",
    R"lisp86((defun find-d-name (name) (assoc name '((cdar . car) (cddr . cdr) (cdaar . caar) (cdadr . cadr) (cddar . cdar) (cdddr . cddr) (cdaaar . caaar) (cdaadr . caadr) (cdadar . cadar) (cdaddr . caddr) (cddaar . cdaar) (cddadr . cdadr) (cdddar . cddar) (cddddr . cdddr)))))lisp86",
    R"lisp87((defun make-hash-table (&rest b)
          (prog** (test)
            (setq test 'eql)
            next
            (if (null b) (return-from make-hash-table (list 'hash-table test)))
            (if (null (and (consp (cdr b))
                           (member (car b) '(:test :size :rehash-size :rehash-threshold))))
                (error "エラー: 文法エラー"))
            (if (eq (car b) :test) (setq test (car (cdr b))))
            (setq b (cdr (cdr b)))
            (go next))))lisp87",
    R"lisp88((defun gethash (key ins &rest default)
          (prog** (l e)
            (if (null (and (consp ins) (eq (car ins) 'hash-table)
                           (consp (cdr ins)) (atom (car (cdr ins)))))
                (error "エラー: ハッシュテーブルではありません"))
            (setq l (cdr (cdr ins)))
            label
            (if (atom l) (return-from gethash (values (if default (car default) nil) nil)))
            (setq e (car l))
            (if (atom e) (error "エラー: ハッシュテーブルが壊れています"))
            (if (funcall (car (cdr ins)) key (car e)) (return-from gethash (values (cdr e) t)))
            (setq l (cdr l))
            (go label))))lisp88",
    R"lisp89((defun hash-table-count (ins)
          (cond ((and (consp ins) (eq (car ins) 'hash-table) (consp (cdr ins)))
                 (length (cdr (cdr ins))))
                (t (error "エラー: ハッシュテーブルではありません")))))lisp89",
    R"lisp90((defun remhash (key ins)
          (prog** (l)
            (if (null (and (consp ins) (eq (car ins) 'hash-table) (consp (cdr ins))))
                (error "エラー: ハッシュテーブルではありません"))
            (setq l (hash$remove key ins))
            (if l (return-from remhash (eq l t)))
            (setq l (cdr ins))
            label
            (if (atom (cdr l)) (return-from remhash nil))
            (if (funcall (car (cdr ins)) key (car (car (cdr l))))
                (progn (rplacd l (cdr (cdr l))) (return-from remhash t)))
            (setq l (cdr l))
            (go label))))lisp90",
    R"lisp91((defun maphash (func hash)
          (prog** (l)
            (setq l (cdr (cdr hash)))
            label
            (if (atom l) (return-from maphash nil))
            (funcall func (car (car l)) (cdr (car l)))
            (setq l (cdr l))
            (go label))))lisp91",
    R"lisp92((defun last (x &rest n)
          (prog** (k p)
            (setq k (if n (car n) 1))
            (if (or (null (integerp k)) (minusp k)) (error "エラー: 個数の指定が違います"))
            (setq p x)
            ahead
            (if (or (= k 0) (atom p)) (go walk))
            (setq p (cdr p))
            (setq k (1- k))
            (go ahead)
            walk
            (if (atom p) (return-from last x))
            (setq p (cdr p))
            (setq x (cdr x))
            (go walk))))lisp92",
    R"lisp93((defmacro case (key &rest body)
          (cond ((consp key) (list 'let (list (list 'case-key$ key)) (cons 'cond (make-case 'case-key$ body))))
                (t (cons 'cond (make-case key body))))))lisp93",
    R"lisp94((defun make-case (key body)
          (cond ((atom body) nil)
                ((or (eq (car (car body)) 'otherwise) (eq (car (car body)) t))
                 (cons (cons t (or (cdr (car body)) '(nil))) (make-case key (cdr body))))
                ((atom (car (car body)))
                 (cons (cons (list 'eql key (list 'quote (car (car body)))) (or (cdr (car body)) '(nil)))
                       (make-case key (cdr body))))
                (t (cons (cons (list 'member key (list 'quote (car (car body)))) (or (cdr (car body)) '(nil)))
                         (make-case key (cdr body)))))))lisp94",
    R"lisp95((defun make-array (dim &rest b)
          (let ((contents (get-contents b)) (element (get-element b)) (type (get-type b))
                (dims nil) (arr nil))
            (cond ((eq type 'character)
                   (cond ((eq element 'nothing?) (setq element (code-char 32)))
                         ((null (characterp element)) (error "エラー: 文字の初期要素を必要とします"))))
                  (t (if (eq element 'nothing?) (setq element nil))
                     (setq type 'all)))
            (cond ((and (integerp dim) (null (minusp dim)))
                   (setq dims (list dim))
                   (setq arr (set-array (cons 1 (cons type (consn dim element))))))
                  ((accept-dimension-element dim)
                   (setq dims dim)
                   (setq arr (set-array (cons (length dim)
                                              (cons type (make-array-base (reverse dim) element))))))
                  (t (error "エラー: 文法エラー")))
            (if (null (member 0 dims)) (set-contents arr dims contents element))
            arr)))lisp95",
    R"lisp96((defun set-contents (arr dim contents def)
          (prog** (pos el)
            (setq pos (init-pos (length dim)))
            label
            (if (= (car pos) (car dim)) (return-from set-contents arr))
            (setq el (a-content contents pos def))
            (eval (list 'setf (cons 'aref (cons 'arr pos)) 'el))
            (setq pos (reverse (inc-pos (reverse pos) (reverse dim))))
            (go label))))lisp96",
    R"lisp97((defun a-content (contents pos def)
          (cond ((atom pos) contents)
                ((atom contents) def)
                ((< (car pos) (length contents))
                 (a-content (nth (car pos) contents) (cdr pos) def))
                (t def))))lisp97",
    R"lisp98((defun inc-pos (pos dim)
          (cond ((atom (cdr pos)) (list (1+ (car pos))))
                ((< (1+ (car pos)) (car dim)) (cons (1+ (car pos)) (cdr pos)))
                (t (cons 0 (inc-pos (cdr pos) (cdr dim)))))))lisp98",
    R"lisp99((defun init-pos (len)(cond((zerop len) nil)(t (cons 0 (init-pos (1- len)))) ) ))lisp99",
    R"lisp100((defun make-array-base (dim element)
          (cond ((atom dim) element)
                (t (make-array-base (cdr dim) (consn (car dim) element))))))lisp100",
    R"lisp101((defun copy (s)(cond((consp s) (cons (copy (car s)) (copy (cdr s))))(t s) ) ))lisp101",
    R"lisp102((defun consn (n element)(cond((zerop n) nil)(t (cons element (consn (1- n) (copy element)))) ) ))lisp102",
    R"lisp103((defun get-contents (b)
          (let ((f (find :initial-contents b)))
            (cond ((and f (consp (cdr f))) (car (cdr f))) (t nil)))))lisp103",
    R"lisp104((defun get-element (b)
          (let ((f (find :initial-element b)))
            (cond ((and f (consp (cdr f))) (car (cdr f))) (t 'nothing?)))))lisp104",
    R"lisp105((defun get-type (b)
          (let ((f (find :element-type b)))
            (cond ((null f) nil)
                  ((and (consp (cdr f)) (eq (car (cdr f)) 'character)) 'character)
                  (t 'all)))))lisp105",
    R"lisp106((defun find (v l)(cond((atom l) nil)((eql (car l) v) l)(t (find v (cdr l))) ) ))lisp106",
    R"lisp107((defun accept-dimension-element (l)
          (cond ((atom l) nil) (t (accept-dimension-element-base l)))))lisp107",
    R"lisp108((defun accept-dimension-element-base (l)
          (cond ((atom l) t)
                ((and (integerp (car l)) (null (minusp (car l))))
                 (accept-dimension-element-base (cdr l)))
                (t nil))))lisp108",
    R"lisp109((defun aref (a &rest b)
          (cond ((and (eql (length b) (array-car a)) (accept-dimension-element-base b))
                 (get-array-pos (cdr (array-cdr a)) b))
                (t (error "エラー: 次元を設定するところでエラーを生じました")))))lisp109",
    R"lisp110((defun get-array-pos (a b)
          (cond ((atom b) a)
                (t (get-array-pos (nth (car b) a) (cdr b))))))lisp110",
    R"lisp111((defun pre-aref (c a &rest b)
          (cond ((null (and (eql (length b) (array-car a)) (accept-dimension-element-base b)))
                 (error "エラー: 次元を設定するところでエラーを生じました"))
                ((and (eq (car (array-cdr a)) 'character) (null (characterp c)))
                 (error "エラー: 文字設定エラー"))
                (t (pre-get-array-pos (cdr (array-cdr a)) b)))))lisp111",
    R"lisp112((defun pre-get-array-pos (a b)
          (cond ((atom (cdr b)) (nthcdr (car b) a))
                (t (pre-get-array-pos (nth (car b) a) (cdr b))))))lisp112",
    R"lisp113((defun nconc (a &rest b)(loop(if (null b) (return a))(rplacd (last a) (car b))(setq b (cdr b)) ) ))lisp113",
    R"lisp114((defun remove (a b &rest c)
          (prog** (test cnt f r tl)
            (if (or (null (listp b)) (and c (seq$other-keys c)))
                (return-from remove (seq$remove (seq$item-pred a c) b c)))
            (setq f (find :test c))
            (setq test (if (and f (consp (cdr f))) (car (cdr f)) 'eql))
            (setq f (find :count c))
            (setq cnt (if (and f (consp (cdr f))) (car (cdr f)) nil))
            (setq r (list nil))
            (setq tl r)
            label
            (if (atom b) (return-from remove (cdr r)))
            (if (and cnt (null (> cnt 0))) (progn (rplacd tl b) (return-from remove (cdr r))))
            (if (funcall test a (car b))
                (if cnt (setq cnt (1- cnt)))
                (progn (rplacd tl (list (car b))) (setq tl (cdr tl))))
            (setq b (cdr b))
            (go label))))lisp114",
    R"lisp115((defun delete (a b &rest c)
          (prog** (test cnt f l)
            (if (or (null (listp b)) (and c (seq$other-keys c)))
                (return-from delete (seq$remove (seq$item-pred a c) b c)))
            (setq f (find :test c))
            (setq test (if (and f (consp (cdr f))) (car (cdr f)) 'eql))
            (setq f (find :count c))
            (setq cnt (if (and f (consp (cdr f))) (car (cdr f)) nil))
            (if (atom b) (return-from delete b))
            (if (funcall test a (car b))
                (progn (setq l (apply #'remove (cons a (cons b c)))) (return-from delete l)))
            (setq l b)
            label
            (if (atom (cdr l)) (return-from delete b))
            (if (and cnt (null (> cnt 0))) (return-from delete b))
            (if (funcall test a (car (cdr l)))
                (progn (rplacd l (cdr (cdr l))) (if cnt (setq cnt (1- cnt))))
                (setq l (cdr l)))
            (go label))))lisp115",
    R"lisp116((defun sort (lst test &rest c)
          (prog** (f key pairs tl l)
            (if (vectorp lst)
                (progn (apply #'sort (cdr (array-cdr lst)) test c)
                       (return-from sort lst)))
            (if (or (atom lst) (atom (cdr lst))) (return-from sort lst))
            (setq f (find :key c))
            (setq key (if (and f (consp (cdr f))) (car (cdr f)) nil))
            (setq pairs (list nil))
            (setq tl pairs)
            (setq l lst)
            pair
            (if (atom l) (go sorted))
            (rplacd tl (list (cons (if key (funcall key (car l)) (car l)) (car l))))
            (setq tl (cdr tl))
            (setq l (cdr l))
            (go pair)
            sorted
            (setq pairs (or (sort$ (cdr pairs) test) (sort$merge (cdr pairs) test)))
            (setq l pairs)
            strip
            (if (atom l) (go done))
            (rplaca l (cdr (car l)))
            (setq l (cdr l))
            (go strip)
            done
            (rplaca lst (car pairs))
            (rplacd lst (cdr pairs))
            (return-from sort lst))))lisp116",
    R"lisp117((defun replace-destroy (a b)(cond((and (null a) (null b)) a)(t(rplaca a (car b))(rplacd a (cdr b))a ) ) ))lisp117",
    R"lisp118((defparameter *gensym-counter* 1000))lisp118",
    R"lisp119((defun mod (x y) (quotient$ 'mod x y)))lisp119",
    R"lisp120((defun int-to-string (i)
          (prog** (s d)
            (if (or (null (integerp i)) (minusp i))
                (error "エラー: INT-TO-STRINGは0以上の整数を必要とします"))
            label
            (setq d (mod i 10))
            (setq s (cons (char "0123456789" d) s))
            (setq i (/ (- i d) 10))
            (if (> i 0) (go label))
            (setq s (coerce s 'string))
            (return-from int-to-string s))))lisp120",
    R"lisp121((defun gensym (&rest b)
          (cond ((null b)
                 (setq *gensym-counter* (1+ *gensym-counter*))
                 (make-symbol (coerce (cons #\G (coerce (int-to-string *gensym-counter*) 'list)) 'string)))
                ((and (integerp (car b)) (> (car b) 0))
                 (make-symbol (coerce (cons #\G (coerce (int-to-string (car b)) 'list)) 'string)))
                ((stringp (car b))
                 (setq *gensym-counter* (1+ *gensym-counter*))
                 (make-symbol (coerce (append (coerce (car b) 'list)
                                              (coerce (int-to-string *gensym-counter*) 'list))
                                      'string)))
                (t (error "BAD USAGE GENSYM")))))lisp121",
    R"lisp122((defun make-symbol (str)(intern-wide str) ))lisp122",
};
const int kPreludeCount = sizeof ReadEvalData / sizeof ReadEvalData[0];
