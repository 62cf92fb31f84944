-- The users of acct, shared by the PostgreSQL and MariaDB scripts (read after acct.<kind>.sql).
INSERT INTO acct (id, login, pw) VALUES (1, 'alice', 'Secr3t-alice');
INSERT INTO acct (id, login, pw) VALUES (2, 'bob', 'Secr3t-bob');
