// The sequence and list functions of Common Lisp that the prelude does not
// define, loaded on first use (library/lisptext.h).
//
// A sequence is a list or a one-dimensional array (a string or a vector).
// SEQ$LIST gives the elements of either as a list: for an array, the very
// contents list the array holds, so a function that only reads walks it
// without copying, and FILL, REPLACE and NREVERSE change an array by RPLACA
// on those cells and never by RPLACD, which keeps the index an array may
// carry pointing at its elements. SEQ$LIKE makes a result of the kind of
// the argument: a string again through COERCE, a vector through SET-ARRAY.
//
// Keyword arguments come in through &REST and are read by SEQ$KEY (the
// first occurrence wins, as in Common Lisp); SEQ$HAS-KEY tells whether one
// was given at all (REDUCE's :INITIAL-VALUE may be NIL). SEQ$TESTER folds
// :TEST and :TEST-NOT into one function of two arguments, EQL by default;
// :KEY is applied by each loop to the elements only, never to the item.
// :START and :END are checked against the length by SEQ$START and SEQ$END;
// SEQ$RANGE answers (elements start end), sharing the list when the range
// is the whole sequence.
//
// Every function walks its lists with PROG and GO, so a list of hundreds of
// thousands of elements needs no stack; only COPY-TREE, SUBST, SUBLIS and
// TREE-EQUAL go down the CARs by recursion (the depth of the tree), and
// they too follow the CDRs in a loop. None of them uses the prelude's
// NTHCDR, APPEND, REVERSE or LAST, which recurse on the length.
//
// :FROM-END for POSITION and FIND-IF keeps the last match of one pass; for
// REMOVE-IF and SUBSTITUTE with :COUNT it first counts the matches, so that
// the ones left alone are the first ones. REMOVE-DUPLICATES keeps the last
// occurrence of each element (the first with :FROM-END) by walking the
// sequence in reverse. The keys met so far are kept in a list; when the
// test is EQ, EQL or EQUAL and the range is longer than a few elements,
// in one list per bucket of a vector instead, the bucket chosen by
// SEQ$HASH from the key's contents (an integer's value, a character's
// code, the characters of a string or a symbol's name, a few levels of a
// cons), which gives equal keys one bucket. The hash tables of this
// dialect are lists, so they could not serve.
//
// STABLE-SORT merges runs bottom-up: single elements first, then pairs of
// neighbouring runs, the earlier run winning ties, until one run is left.
#include "library/lisptext.h"

namespace {

const char kSeqKey[] = R"lisp((progn
 (defun seq$key (keys name default)
  (prog ()
   lab
   (if (atom keys) (return default))
   (if (atom (cdr keys)) (error "エラー: キーワード引数の値がありません"))
   (if (eq (car keys) name) (return (car (cdr keys))))
   (setq keys (cdr (cdr keys)))
   (go lab)))
 (defun seq$has-key (keys name)
  (prog ()
   lab
   (if (atom keys) (return nil))
   (if (eq (car keys) name) (return t))
   (setq keys (cdr keys))
   (if (consp keys) (setq keys (cdr keys)))
   (go lab)))
 (defun seq$list (x)
  (cond ((listp x) x)
        ((and (arrayp x) (eql (array-car x) 1)) (cdr (array-cdr x)))
        (t (error "エラー: 対象はリストか一次元配列でなくてはなりません。"))))
 (defun seq$like (x l)
  (cond ((stringp x) (coerce l 'string))
        ((arrayp x) (set-array (cons 1 (cons 'all l))))
        (t l)))
 (defun seq$tester (keys)
  (let ((test (seq$key keys :test nil)) (test-not (seq$key keys :test-not nil)))
   (cond (test-not (lambda (a b) (not (funcall test-not a b))))
         (test test)
         (t #'eql))))
 (defun seq$item-pred (item keys)
  (let ((test (seq$tester keys)))
   (lambda (x) (funcall test item x))))
 (defun seq$not (pred) (lambda (x) (not (funcall pred x))))
 (defun seq$start (keys sk)
  (let ((s (seq$key keys sk 0)))
   (if (or (null (integerp s)) (minusp s)) (error "エラー: 列の範囲の指定が違います"))
   s))
 (defun seq$end (keys ek n)
  (let ((e (seq$key keys ek nil)))
   (cond ((null e) n)
         ((and (integerp e) (<= e n)) e)
         (t (error "エラー: 列の範囲の指定が違います")))))
 (defun seq$slice (l s e)
  (prog (r tl i)
   (setq r (list nil) tl r i 0)
   (if (> s e) (error "エラー: 列の範囲の指定が違います"))
   lab
   (if (>= i e) (return (cdr r)))
   (if (atom l) (error "エラー: 列の範囲の指定が違います"))
   (if (>= i s) (progn (rplacd tl (list (car l))) (setq tl (cdr tl))))
   (setq l (cdr l) i (1+ i))
   (go lab)))
 (defun seq$range (seq keys)
  (let* ((l (seq$list seq)) (n (length l)) (s (seq$start keys :start)) (e (seq$end keys :end n)))
   (list (if (and (= s 0) (= e n)) l (seq$slice l s e)) s e)))
 (defun seq$rev (l)
  (prog (r)
   lab
   (if (atom l) (return r))
   (setq r (cons (car l) r) l (cdr l))
   (go lab)))
 (defun seq$count (pred seq keys)
  (prog (l key n)
   (setq l (car (seq$range seq keys)) key (seq$key keys :key nil) n 0)
   lab
   (if (atom l) (return n))
   (if (funcall pred (if key (funcall key (car l)) (car l))) (setq n (1+ n)))
   (setq l (cdr l))
   (go lab)))
 (defun seq$position (pred seq keys want-element)
  (prog (r l key i found fe x)
   (setq r (seq$range seq keys) l (car r) i (car (cdr r)) key (seq$key keys :key nil)
         fe (seq$key keys :from-end nil))
   lab
   (if (atom l) (return (cond ((null found) nil) (want-element (car found)) (t (cdr found)))))
   (setq x (car l))
   (if (funcall pred (if key (funcall key x) x))
       (progn (setq found (cons x i)) (if (null fe) (return (if want-element x i)))))
   (setq l (cdr l) i (1+ i))
   (go lab)))
 (defun seq$remove (pred seq keys)
  (prog (l key s e cnt skip i r tl x hit)
   (setq l (seq$list seq) key (seq$key keys :key nil) s (seq$start keys :start)
         e (seq$end keys :end (length l)) cnt (seq$key keys :count nil) i 0
         r (list nil) tl r)
   (if (> s e) (error "エラー: 列の範囲の指定が違います"))
   (if (and cnt (seq$key keys :from-end nil))
       (setq skip (seq$max0 (- (seq$count pred (seq$slice l s e) (list :key key)) cnt))))
   lab
   (if (atom l) (return (seq$like seq (cdr r))))
   (setq x (car l) hit nil)
   (if (and (>= i s) (< i e) (or (null cnt) (> cnt 0))
            (funcall pred (if key (funcall key x) x)))
       (if (and skip (> skip 0)) (setq skip (1- skip)) (setq hit t)))
   (if hit
       (if cnt (setq cnt (1- cnt)))
       (progn (rplacd tl (list x)) (setq tl (cdr tl))))
   (setq l (cdr l) i (1+ i))
   (go lab)))
 (defun seq$nthcdr (n l)
  (prog ()
   lab
   (if (or (<= n 0) (atom l)) (return l))
   (setq l (cdr l) n (1- n))
   (go lab)))
 (defun seq$last (l)
  (prog ()
   lab
   (if (atom (cdr l)) (return l))
   (setq l (cdr l))
   (go lab)))
 (defun seq$nconc2 (a b) (if (consp a) (progn (rplacd (seq$last a) b) a) b))
 (defun seq$max0 (n) (if (minusp n) 0 n))
 (defun seq$result (type l)
  (cond ((null type) nil)
        ((member type '(list cons)) l)
        ((member type '(string simple-string base-string)) (coerce l 'string))
        ((or (member type '(vector simple-vector array))
             (and (consp type) (member (car type) '(vector simple-vector array))))
         (set-array (cons 1 (cons 'all l))))
        (t (error "エラー: 列の型の指定が違います"))))))lisp";

const char kSeqMapArgs[] = R"lisp((progn
 (defun seq$cars (ls)
  (prog (r tl)
   (setq r (list nil) tl r)
   lab
   (if (atom ls) (return (cdr r)))
   (if (atom (car ls)) (return 'seq$end))
   (rplacd tl (list (car (car ls))))
   (setq tl (cdr tl) ls (cdr ls))
   (go lab)))
 (defun seq$cdrs (ls)
  (prog (r tl)
   (setq r (list nil) tl r)
   lab
   (if (atom ls) (return (cdr r)))
   (rplacd tl (list (cdr (car ls))))
   (setq tl (cdr tl) ls (cdr ls))
   (go lab)))
 (defun seq$any-atom (ls)
  (prog ()
   lab
   (if (atom ls) (return nil))
   (if (atom (car ls)) (return t))
   (setq ls (cdr ls))
   (go lab)))
 (defun seq$lists (seqs)
  (prog (r tl)
   (setq r (list nil) tl r)
   lab
   (if (atom seqs) (return (cdr r)))
   (rplacd tl (list (seq$list (car seqs))))
   (setq tl (cdr tl) seqs (cdr seqs))
   (go lab)))
 (defun seq$quantify (pred seqs want)
  (prog (ls v l)
   (setq ls (seq$lists seqs))
   (if (cdr ls) (go lab))
   (setq l (car ls))
   one
   (if (atom l) (return (if (eq want 'every) t nil)))
   (setq v (funcall pred (car l)))
   (cond ((and (eq want 'every) (null v)) (return nil))
         ((and (eq want 'some) v) (return v)))
   (setq l (cdr l))
   (go one)
   lab
   (if (seq$any-atom ls) (return (if (eq want 'every) t nil)))
   (setq v (apply pred (seq$cars ls)))
   (cond ((and (eq want 'every) (null v)) (return nil))
         ((and (eq want 'some) v) (return v)))
   (setq ls (seq$cdrs ls))
   (go lab)))))lisp";

const char kSeqSetArgs[] = R"lisp((progn
 (defun seq$in (x l test key)
  (prog (kx)
   (setq kx (if key (funcall key x) x))
   lab
   (if (atom l) (return nil))
   (if (funcall test kx (if key (funcall key (car l)) (car l))) (return l))
   (setq l (cdr l))
   (go lab)))
 (defun seq$keep (a b keys want)
  (prog (test key r tl)
   (setq test (seq$tester keys) key (seq$key keys :key nil) r (list nil) tl r)
   lab
   (if (atom a) (return (cdr r)))
   (if (eq want (if (seq$in (car a) b test key) t nil))
       (progn (rplacd tl (list (car a))) (setq tl (cdr tl))))
   (setq a (cdr a))
   (go lab)))))lisp";

}  // namespace

const LispText kSequenceTexts[] = {
    {"SEQ$KEY", kSeqKey},
    {"SEQ$HAS-KEY", kSeqKey},
    {"SEQ$LIST", kSeqKey},
    {"SEQ$LIKE", kSeqKey},
    {"SEQ$TESTER", kSeqKey},
    {"SEQ$ITEM-PRED", kSeqKey},
    {"SEQ$NOT", kSeqKey},
    {"SEQ$START", kSeqKey},
    {"SEQ$END", kSeqKey},
    {"SEQ$SLICE", kSeqKey},
    {"SEQ$RANGE", kSeqKey},
    {"SEQ$REV", kSeqKey},
    {"SEQ$COUNT", kSeqKey},
    {"SEQ$POSITION", kSeqKey},
    {"SEQ$REMOVE", kSeqKey},
    {"SEQ$NTHCDR", kSeqKey},
    {"SEQ$LAST", kSeqKey},
    {"SEQ$NCONC2", kSeqKey},
    {"SEQ$MAX0", kSeqKey},
    {"SEQ$RESULT", kSeqKey},
    {"REDUCE", R"lisp((defun reduce (f seq &rest keys)
 (prog (l key acc fe)
  (setq l (car (seq$range seq keys)) key (seq$key keys :key nil) fe (seq$key keys :from-end nil))
  (if fe (setq l (seq$rev l)))
  (cond ((seq$has-key keys :initial-value) (setq acc (seq$key keys :initial-value nil)))
        ((atom l) (return (funcall f)))
        (t (setq acc (if key (funcall key (car l)) (car l)) l (cdr l))))
  lab
  (if (atom l) (return acc))
  (setq acc (if fe (funcall f (if key (funcall key (car l)) (car l)) acc)
                   (funcall f acc (if key (funcall key (car l)) (car l)))))
  (setq l (cdr l))
  (go lab))))lisp"},
    {"COUNT",
     R"lisp((defun count (item seq &rest keys) (seq$count (seq$item-pred item keys) seq keys)))lisp"},
    {"COUNT-IF",
     R"lisp((defun count-if (pred seq &rest keys) (seq$count pred seq keys)))lisp"},
    {"COUNT-IF-NOT",
     R"lisp((defun count-if-not (pred seq &rest keys) (seq$count (seq$not pred) seq keys)))lisp"},
    {"POSITION",
     R"lisp((defun position (item seq &rest keys) (seq$position (seq$item-pred item keys) seq keys nil)))lisp"},
    {"POSITION-IF",
     R"lisp((defun position-if (pred seq &rest keys) (seq$position pred seq keys nil)))lisp"},
    {"POSITION-IF-NOT",
     R"lisp((defun position-if-not (pred seq &rest keys) (seq$position (seq$not pred) seq keys nil)))lisp"},
    {"FIND-IF",
     R"lisp((defun find-if (pred seq &rest keys) (seq$position pred seq keys t)))lisp"},
    {"FIND-IF-NOT",
     R"lisp((defun find-if-not (pred seq &rest keys) (seq$position (seq$not pred) seq keys t)))lisp"},
    {"REMOVE-IF",
     R"lisp((defun remove-if (pred seq &rest keys) (seq$remove pred seq keys)))lisp"},
    {"REMOVE-IF-NOT",
     R"lisp((defun remove-if-not (pred seq &rest keys) (seq$remove (seq$not pred) seq keys)))lisp"},
    {"DELETE-IF",
     R"lisp((defun delete-if (pred seq &rest keys) (seq$remove pred seq keys)))lisp"},
    {"DELETE-IF-NOT",
     R"lisp((defun delete-if-not (pred seq &rest keys) (seq$remove (seq$not pred) seq keys)))lisp"},
    {"DELETE-DUPLICATES",
     R"lisp((defun delete-duplicates (seq &rest keys) (apply #'remove-duplicates seq keys)))lisp"},
    {"REMOVE-DUPLICATES", R"lisp((defun remove-duplicates (seq &rest keys)
 (prog (l key test s e fe i r x kx seen buckets h)
  (setq l (seq$list seq) key (seq$key keys :key nil) test (seq$tester keys)
        s (seq$start keys :start) e (seq$end keys :end (length l)) fe (seq$key keys :from-end nil)
        i 0)
  (if (> s e) (error "エラー: 列の範囲の指定が違います"))
  (if (and (> (- e s) 16) (null (seq$key keys :test-not nil))
           (member test (list 'eq 'eql 'equal #'eq #'eql #'equal)))
      (setq buckets (make-array 1021)))
  (if (null fe) (setq l (seq$rev l) i (1- (length l))))
  lab
  (if (atom l) (return (seq$like seq (if fe (seq$rev r) r))))
  (setq x (car l))
  (if (and (>= i s) (< i e))
      (progn
       (setq kx (if key (funcall key x) x))
       (if buckets (setq h (seq$hash kx 3) seen (aref buckets h)))
       (if (seq$seen kx seen test fe) (go next))
       (setq seen (cons kx seen))
       (if buckets (setf (aref buckets h) seen))))
  (setq r (cons x r))
  next
  (setq l (cdr l) i (if fe (1+ i) (1- i)))
  (go lab))))lisp"},
    {"SEQ$SEEN", R"lisp((defun seq$seen (kx seen test fe)
 (prog ()
  lab
  (if (atom seen) (return nil))
  (if (if fe (funcall test (car seen) kx) (funcall test kx (car seen))) (return t))
  (setq seen (cdr seen))
  (go lab))))lisp"},
    {"SEQ$HASH", R"lisp((defun seq$hash (x d)
 (cond ((integerp x) (mod x 1021))
       ((characterp x) (mod (char-code x) 1021))
       ((stringp x) (seq$hash-string x))
       ((symbolp x) (seq$hash-string (symbol-name x)))
       ((and (consp x) (> d 0)) (mod (+ (* 31 (seq$hash (car x) (1- d))) (seq$hash (cdr x) (1- d))) 1021))
       (t 0))))lisp"},
    {"SEQ$HASH-STRING", R"lisp((defun seq$hash-string (s)
 (prog (n i h)
  (setq n (length s) i 0 h n)
  (if (> n 24) (setq n 24))
  lab
  (if (>= i n) (return (mod h 1021)))
  (setq h (mod (+ (* h 31) (char-code (char s i))) 1048573) i (1+ i))
  (go lab))))lisp"},
    {"SUBSTITUTE",
     R"lisp((defun substitute (new old seq &rest keys) (seq$substitute new (seq$item-pred old keys) seq keys)))lisp"},
    {"SUBSTITUTE-IF",
     R"lisp((defun substitute-if (new pred seq &rest keys) (seq$substitute new pred seq keys)))lisp"},
    {"SEQ$SUBSTITUTE", R"lisp((defun seq$substitute (new pred seq keys)
 (prog (l key s e cnt skip i r tl x hit)
  (setq l (seq$list seq) key (seq$key keys :key nil) s (seq$start keys :start)
        e (seq$end keys :end (length l)) cnt (seq$key keys :count nil) i 0 r (list nil) tl r)
  (if (> s e) (error "エラー: 列の範囲の指定が違います"))
  (if (and cnt (seq$key keys :from-end nil))
      (setq skip (seq$max0 (- (seq$count pred (seq$slice l s e) (list :key key)) cnt))))
  lab
  (if (atom l) (return (seq$like seq (cdr r))))
  (setq x (car l) hit nil)
  (if (and (>= i s) (< i e) (or (null cnt) (> cnt 0)) (funcall pred (if key (funcall key x) x)))
      (if (and skip (> skip 0)) (setq skip (1- skip)) (setq hit t)))
  (if hit (progn (setq x new) (if cnt (setq cnt (1- cnt)))))
  (rplacd tl (list x))
  (setq tl (cdr tl) l (cdr l) i (1+ i))
  (go lab))))lisp"},
    {"MEMBER-IF", R"lisp((defun member-if (pred l &rest keys)
 (prog (key)
  (setq key (seq$key keys :key nil))
  lab
  (if (atom l) (return nil))
  (if (funcall pred (if key (funcall key (car l)) (car l))) (return l))
  (setq l (cdr l))
  (go lab))))lisp"},
    {"MEMBER-IF-NOT",
     R"lisp((defun member-if-not (pred l &rest keys) (apply #'member-if (seq$not pred) l keys)))lisp"},
    {"ASSOC-IF", R"lisp((defun assoc-if (pred alist &rest keys)
 (prog (key)
  (setq key (seq$key keys :key nil))
  lab
  (if (atom alist) (return nil))
  (if (and (consp (car alist)) (funcall pred (if key (funcall key (car (car alist))) (car (car alist)))))
      (return (car alist)))
  (setq alist (cdr alist))
  (go lab))))lisp"},
    {"ASSOC-IF-NOT",
     R"lisp((defun assoc-if-not (pred alist &rest keys) (apply #'assoc-if (seq$not pred) alist keys)))lisp"},
    {"RASSOC", R"lisp((defun rassoc (item alist &rest keys)
 (prog (key test)
  (setq key (seq$key keys :key nil) test (seq$tester keys))
  lab
  (if (atom alist) (return nil))
  (if (and (consp (car alist)) (funcall test item (if key (funcall key (cdr (car alist))) (cdr (car alist)))))
      (return (car alist)))
  (setq alist (cdr alist))
  (go lab))))lisp"},
    {"ACONS",
     R"lisp((defun acons (key datum alist) (cons (cons key datum) alist)))lisp"},
    {"PAIRLIS", R"lisp((defun pairlis (keys data &rest alist)
 (prog (r)
  (setq r (if alist (car alist) nil))
  lab
  (if (or (atom keys) (atom data))
      (if (or (consp keys) (consp data)) (error "エラー: リストの長さが違います") (return r)))
  (setq r (cons (cons (car keys) (car data)) r) keys (cdr keys) data (cdr data))
  (go lab))))lisp"},
    {"SEQ$CARS", kSeqMapArgs},
    {"SEQ$CDRS", kSeqMapArgs},
    {"SEQ$ANY-ATOM", kSeqMapArgs},
    {"SEQ$LISTS", kSeqMapArgs},
    {"SEQ$QUANTIFY", kSeqMapArgs},
    {"MAPCAR$N", R"lisp((defun mapcar$n (f ls)
 (prog (r tl)
  (setq r (list nil) tl r)
  lab
  (if (seq$any-atom ls) (return (cdr r)))
  (rplacd tl (list (apply f (seq$cars ls))))
  (setq tl (cdr tl) ls (seq$cdrs ls))
  (go lab))))lisp"},
    {"EVERY",
     R"lisp((defun every (pred seq &rest seqs) (seq$quantify pred (cons seq seqs) 'every)))lisp"},
    {"SOME",
     R"lisp((defun some (pred seq &rest seqs) (seq$quantify pred (cons seq seqs) 'some)))lisp"},
    {"NOTANY",
     R"lisp((defun notany (pred seq &rest seqs) (not (seq$quantify pred (cons seq seqs) 'some))))lisp"},
    {"NOTEVERY",
     R"lisp((defun notevery (pred seq &rest seqs) (not (seq$quantify pred (cons seq seqs) 'every))))lisp"},
    {"MAPC", R"lisp((defun mapc (f l &rest ls)
 (prog (all p)
  (setq all (cons l ls) p l)
  (if ls (go lab))
  one
  (if (atom p) (return l))
  (funcall f (car p))
  (setq p (cdr p))
  (go one)
  lab
  (if (seq$any-atom all) (return l))
  (apply f (seq$cars all))
  (setq all (seq$cdrs all))
  (go lab))))lisp"},
    {"MAPCAN", R"lisp((defun mapcan (f l &rest ls)
 (prog (all r tl v)
  (setq all (cons l ls) r (list nil) tl r)
  lab
  (if (seq$any-atom all) (return (cdr r)))
  (setq v (if ls (apply f (seq$cars all)) (funcall f (car l))))
  (setq l (cdr l))
  (if (consp v) (progn (rplacd tl v) (setq tl (seq$last v))))
  (setq all (seq$cdrs all))
  (go lab))))lisp"},
    {"MAPLIST", R"lisp((defun maplist (f l &rest ls)
 (prog (all r tl)
  (setq all (cons l ls) r (list nil) tl r)
  lab
  (if (seq$any-atom all) (return (cdr r)))
  (rplacd tl (list (apply f all)))
  (setq tl (cdr tl) all (seq$cdrs all))
  (go lab))))lisp"},
    {"MAPL", R"lisp((defun mapl (f l &rest ls)
 (prog (all)
  (setq all (cons l ls))
  lab
  (if (seq$any-atom all) (return l))
  (apply f all)
  (setq all (seq$cdrs all))
  (go lab))))lisp"},
    {"SEQ$OTHER-KEYS", R"lisp((defun seq$other-keys (keys)
 (prog ()
  lab
  (if (atom keys) (return nil))
  (if (null (or (eq (car keys) :test) (eq (car keys) :count))) (return t))
  (setq keys (cdr keys))
  (if (consp keys) (setq keys (cdr keys)))
  (go lab))))lisp"},
    {"CONCATENATE", R"lisp((defun concatenate (type &rest seqs)
 (prog (r tl l)
  (setq r (list nil) tl r)
  next
  (if (atom seqs) (return (seq$result type (cdr r))))
  (setq l (seq$list (car seqs)) seqs (cdr seqs))
  each
  (if (atom l) (go next))
  (rplacd tl (list (car l)))
  (setq tl (cdr tl) l (cdr l))
  (go each))))lisp"},
    {"MAP", R"lisp((defun map (type f seq &rest seqs)
 (prog (all r tl l)
  (setq all (seq$lists (cons seq seqs)) r (list nil) tl r)
  (if seqs (go lab))
  (setq l (car all))
  one
  (if (atom l) (return (seq$result type (cdr r))))
  (rplacd tl (list (funcall f (car l))))
  (setq tl (cdr tl) l (cdr l))
  (go one)
  lab
  (if (seq$any-atom all) (return (seq$result type (cdr r))))
  (rplacd tl (list (apply f (seq$cars all))))
  (setq tl (cdr tl) all (seq$cdrs all))
  (go lab))))lisp"},
    {"NREVERSE", R"lisp((defun nreverse (seq)
 (prog (r next l)
  (if (null (listp seq)) (go arr))
  lab
  (if (atom seq) (return r))
  (setq next (cdr seq))
  (rplacd seq r)
  (setq r seq seq next)
  (go lab)
  arr
  (setq r (seq$rev (seq$list seq)) l (seq$list seq))
  fill
  (if (atom l) (return seq))
  (rplaca l (car r))
  (setq l (cdr l) r (cdr r))
  (go fill))))lisp"},
    {"COPY-LIST", R"lisp((defun copy-list (l)
 (prog (r tl)
  (setq r (list nil) tl r)
  lab
  (if (atom l) (progn (rplacd tl l) (return (cdr r))))
  (rplacd tl (list (car l)))
  (setq tl (cdr tl) l (cdr l))
  (go lab))))lisp"},
    {"COPY-TREE", R"lisp((defun copy-tree (x)
 (prog (r tl)
  (if (atom x) (return x))
  (setq r (list nil) tl r)
  lab
  (if (atom x) (progn (rplacd tl x) (return (cdr r))))
  (rplacd tl (list (copy-tree (car x))))
  (setq tl (cdr tl) x (cdr x))
  (go lab))))lisp"},
    {"COPY-SEQ",
     R"lisp((defun copy-seq (seq) (if (listp seq) (copy-list seq) (seq$like seq (copy-list (seq$list seq))))))lisp"},
    {"LIST*", R"lisp((defun list* (x &rest more)
 (prog (r tl)
  (if (atom more) (return x))
  (setq r (list x) tl r)
  lab
  (if (atom (cdr more)) (progn (rplacd tl (car more)) (return r)))
  (rplacd tl (list (car more)))
  (setq tl (cdr tl) more (cdr more))
  (go lab))))lisp"},
    {"MAKE-LIST", R"lisp((defun make-list (n &rest keys)
 (prog (r e)
  (if (or (null (integerp n)) (minusp n)) (error "エラー: リストの長さの指定が違います"))
  (setq e (seq$key keys :initial-element nil))
  lab
  (if (<= n 0) (return r))
  (setq r (cons e r) n (1- n))
  (go lab))))lisp"},
    {"BUTLAST", R"lisp((defun butlast (l &rest n)
 (prog (k r tl p)
  (setq k (if n (car n) 1))
  (if (or (null (integerp k)) (minusp k)) (error "エラー: 個数の指定が違います"))
  (setq p (seq$nthcdr k l) r (list nil) tl r)
  lab
  (if (atom p) (return (cdr r)))
  (rplacd tl (list (car l)))
  (setq tl (cdr tl) l (cdr l) p (cdr p))
  (go lab))))lisp"},
    {"NBUTLAST", R"lisp((defun nbutlast (l &rest n)
 (prog (k p q)
  (setq k (if n (car n) 1))
  (if (or (null (integerp k)) (minusp k)) (error "エラー: 個数の指定が違います"))
  (setq p (seq$nthcdr k l))
  (if (atom p) (return nil))
  (setq q l p (cdr p))
  lab
  (if (atom p) (progn (rplacd q nil) (return l)))
  (setq q (cdr q) p (cdr p))
  (go lab))))lisp"},
    {"LDIFF", R"lisp((defun ldiff (l obj)
 (prog (r tl)
  (setq r (list nil) tl r)
  lab
  (if (eql l obj) (return (cdr r)))
  (if (atom l) (progn (rplacd tl l) (return (cdr r))))
  (rplacd tl (list (car l)))
  (setq tl (cdr tl) l (cdr l))
  (go lab))))lisp"},
    {"NSUBST",
     R"lisp((defun nsubst (new old tree &rest keys) (apply #'subst new old tree keys)))lisp"},
    {"SUBST", R"lisp((defun subst (new old tree &rest keys)
 (seq$subst-walk (let ((test (seq$tester keys)) (key (seq$key keys :key nil)))
                   (lambda (x) (if (funcall test old (if key (funcall key x) x)) (list new) nil)))
                 tree)))lisp"},
    {"SUBST-IF", R"lisp((defun subst-if (new pred tree &rest keys)
 (seq$subst-walk (let ((key (seq$key keys :key nil)))
                   (lambda (x) (if (funcall pred (if key (funcall key x) x)) (list new) nil)))
                 tree)))lisp"},
    {"SUBLIS", R"lisp((defun sublis (alist tree &rest keys)
 (seq$subst-walk (let ((test (seq$tester keys)) (key (seq$key keys :key nil)))
                   (lambda (x)
                    (let ((kx (if key (funcall key x) x)) (a alist) (hit nil))
                     (prog ()
                      lab
                      (if (atom a) (return nil))
                      (if (and (consp (car a)) (funcall test (car (car a)) kx))
                          (return (list (cdr (car a)))))
                      (setq a (cdr a))
                      (go lab)))))
                 tree)))lisp"},
    {"SEQ$SUBST-WALK", R"lisp((defun seq$subst-walk (f tree)
 (prog (r tl h)
  (setq h (funcall f tree))
  (if h (return (car h)))
  (if (atom tree) (return tree))
  (setq r (list nil) tl r)
  lab
  (rplacd tl (list (seq$subst-walk f (car tree))))
  (setq tl (cdr tl) tree (cdr tree) h (funcall f tree))
  (if h (progn (rplacd tl (car h)) (return (cdr r))))
  (if (atom tree) (progn (rplacd tl tree) (return (cdr r))))
  (go lab))))lisp"},
    {"SEQ$IN", kSeqSetArgs},
    {"SEQ$KEEP", kSeqSetArgs},
    {"UNION",
     R"lisp((defun union (a b &rest keys) (seq$nconc2 (seq$keep a b keys nil) b)))lisp"},
    {"NUNION",
     R"lisp((defun nunion (a b &rest keys) (seq$nconc2 (seq$keep a b keys nil) b)))lisp"},
    {"INTERSECTION",
     R"lisp((defun intersection (a b &rest keys) (seq$keep a b keys t)))lisp"},
    {"NINTERSECTION",
     R"lisp((defun nintersection (a b &rest keys) (seq$keep a b keys t)))lisp"},
    {"SET-DIFFERENCE",
     R"lisp((defun set-difference (a b &rest keys) (seq$keep a b keys nil)))lisp"},
    {"NSET-DIFFERENCE",
     R"lisp((defun nset-difference (a b &rest keys) (seq$keep a b keys nil)))lisp"},
    {"SUBSETP",
     R"lisp((defun subsetp (a b &rest keys) (null (seq$keep a b keys nil))))lisp"},
    {"ADJOIN", R"lisp((defun adjoin (item l &rest keys)
 (if (seq$in item l (seq$tester keys) (seq$key keys :key nil)) l (cons item l))))lisp"},
    {"ELT", R"lisp((defun elt (seq i)
 (let ((l (seq$list seq)))
  (if (or (null (integerp i)) (minusp i) (atom (seq$nthcdr i l)))
      (error "エラー: 添字が範囲を超えています"))
  (car (seq$nthcdr i l)))))lisp"},
    {"FILL", R"lisp((defun fill (seq item &rest keys)
 (prog (r l i e)
  (setq r (seq$range seq keys) l (seq$nthcdr (car (cdr r)) (seq$list seq)) i (car (cdr r)) e (car (cdr (cdr r))))
  (if (and (stringp seq) (null (characterp item))) (error "エラー: 文字列には文字しか入れられません"))
  lab
  (if (>= i e) (return seq))
  (rplaca l item)
  (setq l (cdr l) i (1+ i))
  (go lab))))lisp"},
    {"REPLACE", R"lisp((defun replace (seq1 seq2 &rest keys)
 (prog (l1 n1 s1 e1 src)
  (setq l1 (seq$list seq1) n1 (length l1) s1 (seq$start keys :start1) e1 (seq$end keys :end1 n1)
        src (let* ((l2 (seq$list seq2)) (s2 (seq$start keys :start2)) (e2 (seq$end keys :end2 (length l2))))
              (copy-list (seq$slice l2 s2 e2))))
  (if (> s1 e1) (error "エラー: 列の範囲の指定が違います"))
  (setq l1 (seq$nthcdr s1 l1))
  lab
  (if (or (>= s1 e1) (atom src)) (return seq1))
  (if (and (stringp seq1) (null (characterp (car src)))) (error "エラー: 文字列には文字しか入れられません"))
  (rplaca l1 (car src))
  (setq l1 (cdr l1) src (cdr src) s1 (1+ s1))
  (go lab))))lisp"},
    {"SEARCH", R"lisp((defun search (seq1 seq2 &rest keys)
 (prog (p r2 l2 s2 test key i found a b)
  (setq p (car (seq$range seq1 (list :start (seq$key keys :start1 0) :end (seq$key keys :end1 nil))))
        r2 (seq$range seq2 (list :start (seq$key keys :start2 0) :end (seq$key keys :end2 nil)))
        l2 (car r2) i (car (cdr r2)) test (seq$tester keys) key (seq$key keys :key nil))
  lab
  (setq a p b l2)
  inner
  (if (atom a) (progn (setq found i) (if (seq$key keys :from-end nil) (go next) (return i))))
  (if (atom b) (return found))
  (if (funcall test (if key (funcall key (car a)) (car a)) (if key (funcall key (car b)) (car b)))
      (progn (setq a (cdr a) b (cdr b)) (go inner)))
  next
  (if (atom l2) (return found))
  (setq l2 (cdr l2) i (1+ i))
  (go lab))))lisp"},
    {"MISMATCH", R"lisp((defun mismatch (seq1 seq2 &rest keys)
 (prog (r1 r2 a b test key i fe)
  (setq r1 (seq$range seq1 (list :start (seq$key keys :start1 0) :end (seq$key keys :end1 nil)))
        r2 (seq$range seq2 (list :start (seq$key keys :start2 0) :end (seq$key keys :end2 nil)))
        test (seq$tester keys) key (seq$key keys :key nil) fe (seq$key keys :from-end nil)
        a (car r1) b (car r2) i 0)
  (if fe (setq a (seq$rev a) b (seq$rev b)))
  lab
  (if (and (atom a) (atom b)) (return nil))
  (if (or (atom a) (atom b)
          (null (funcall test (if key (funcall key (car a)) (car a)) (if key (funcall key (car b)) (car b)))))
      (return (if fe (- (car (cdr (cdr r1))) i) (+ (car (cdr r1)) i))))
  (setq a (cdr a) b (cdr b) i (1+ i))
  (go lab))))lisp"},
    {"SEQ$MERGE-LISTS", R"lisp((defun seq$merge-lists (a b pred key)
 (prog (r tl)
  (setq r (list nil) tl r)
  lab
  (if (atom a) (progn (rplacd tl b) (return (cdr r))))
  (if (atom b) (progn (rplacd tl a) (return (cdr r))))
  (if (funcall pred (if key (funcall key (car b)) (car b)) (if key (funcall key (car a)) (car a)))
      (progn (rplacd tl b) (setq tl b b (cdr b)))
      (progn (rplacd tl a) (setq tl a a (cdr a))))
  (go lab))))lisp"},
    {"STABLE-SORT", R"lisp((defun stable-sort (seq pred &rest keys)
 (prog (key runs next l)
  (setq key (seq$key keys :key nil) l (seq$list seq))
  singles
  (if (atom l) (go pass))
  (setq runs (cons (list (car l)) runs) l (cdr l))
  (go singles)
  pass
  (setq runs (seq$rev runs))
  (if (atom runs) (return (seq$like seq nil)))
  (if (atom (cdr runs)) (return (if (listp seq) (car runs) (seq$like seq (car runs)))))
  (setq next nil)
  pair
  (if (atom runs) (go pass2))
  (if (atom (cdr runs)) (progn (setq next (cons (car runs) next)) (go pass2)))
  (setq next (cons (seq$merge-lists (car runs) (car (cdr runs)) pred key) next) runs (cdr (cdr runs)))
  (go pair)
  pass2
  (setq runs next)
  (go pass))))lisp"},
    {"MERGE", R"lisp((defun merge (type a b pred &rest keys)
 (seq$result type (seq$merge-lists (copy-list (seq$list a)) (copy-list (seq$list b)) pred (seq$key keys :key nil)))))lisp"},
    {"TREE-EQUAL", R"lisp((defun tree-equal (a b &rest keys)
 (prog (test)
  (setq test (seq$tester keys))
  lab
  (if (or (atom a) (atom b)) (return (if (and (atom a) (atom b)) (if (funcall test a b) t nil) nil)))
  (if (null (tree-equal (car a) (car b) :test test)) (return nil))
  (setq a (cdr a) b (cdr b))
  (go lab))))lisp"},
    {"ENDP",
     R"lisp((defun endp (x) (cond ((null x) t) ((consp x) nil) (t (error "エラー: リストではありません")))))lisp"},
    {"LIST-LENGTH", R"lisp((defun list-length (l)
 (prog (n slow)
  (setq n 0 slow l)
  lab
  (if (atom l) (return n))
  (if (atom (cdr l)) (return (1+ n)))
  (setq l (cdr (cdr l)) n (+ n 2) slow (cdr slow))
  (if (and (eq l slow) (consp l)) (return nil))
  (go lab))))lisp"},
    {nullptr, nullptr},
};
