-- User tables whose login columns hold bytes: in "members" the password, in "keyholders" the
-- login ID. The bytes are the UTF-8 text of each value ("Lisbon", "Zoë"). A member's badge is
-- binary too, and no secret; so is the key of "badges". The login ID's index is named, for a
-- look at the login's query plan. Each statement ends with ";" at the end of a line.
CREATE TABLE members (
    member_id INTEGER PRIMARY KEY,
    login VARCHAR(60) NOT NULL,
    password BLOB,
    name VARCHAR(60),
    badge BLOB
);
INSERT INTO members VALUES (1, 'ada@example.com', CAST('Lisbon' AS BLOB), 'Ada Fernsby', CAST('ADA-BADGE' AS BLOB));
INSERT INTO members VALUES (2, 'zoe@example.com', CAST('Zoë' AS BLOB), 'Zoë Marsh', NULL);
INSERT INTO members VALUES (3, 'nopass@example.com', NULL, 'No Password', NULL);
CREATE TABLE keyholders (
    keyholder_id INTEGER PRIMARY KEY,
    login BLOB NOT NULL,
    password VARCHAR(60),
    name VARCHAR(60)
);
CREATE UNIQUE INDEX keyholders_login ON keyholders (login);
INSERT INTO keyholders VALUES (1, CAST('ada@example.com' AS BLOB), 'Lisbon', 'Ada Fernsby');
INSERT INTO keyholders VALUES (2, CAST('zoë@example.com' AS BLOB), 'Oslo', 'Zoë Marsh');
CREATE TABLE badges (
    code BLOB PRIMARY KEY,
    label VARCHAR(30)
);
INSERT INTO badges VALUES (CAST('ADA' AS BLOB), 'Gold badge');
