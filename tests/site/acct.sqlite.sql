-- A user table whose login is set only after its site was first generated: a login ID and a
-- password in text columns, and a picture that gets a page of its own. Each statement ends with
-- ";" at the end of a line.
CREATE TABLE acct (id INTEGER PRIMARY KEY, login VARCHAR(20) NOT NULL UNIQUE, pw VARCHAR(40) NOT NULL, photo BLOB);
INSERT INTO acct (id, login, pw) VALUES (1, 'alice', 'Secr3t-alice');
INSERT INTO acct (id, login, pw) VALUES (2, 'bob', 'Secr3t-bob');
