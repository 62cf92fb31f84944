-- Two tables whose picture pages would get the same file name: a_b's column c and a's column
-- b_c both make a_b_c; and two whose pages would: "a b" and a_b both make a_b. Each statement
-- ends with ";" at the end of a line.
CREATE TABLE a_b (
    id INTEGER PRIMARY KEY,
    c LONGBLOB
);
CREATE TABLE a (
    id INTEGER PRIMARY KEY,
    b_c LONGBLOB
);
CREATE TABLE `a b` (
    id INTEGER PRIMARY KEY
);
