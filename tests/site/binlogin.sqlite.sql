-- User tables whose login columns hold bytes: in "members" the password, in "keyholders" the
-- login ID. The bytes are the UTF-8 text of each value ("Lisbon", "Zoë"). A member's badge is
-- binary too, and no secret; so is the key of "badges". The login ID's index is named, for a
-- look at the login's query plan. SQLite keeps each value's own type in any column: one member's
-- password, one login ID and one badge's key are stored as text in their binary columns. Each
-- statement ends with ";" at the end of a line.
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
INSERT INTO members VALUES (4, 'bob@example.com', 'Paris', 'Bob Textman', NULL);
CREATE TABLE keyholders (
    keyholder_id INTEGER PRIMARY KEY,
    login BLOB NOT NULL,
    password VARCHAR(60),
    name VARCHAR(60)
);
CREATE UNIQUE INDEX keyholders_login ON keyholders (login);
INSERT INTO keyholders VALUES (1, CAST('ada@example.com' AS BLOB), 'Lisbon', 'Ada Fernsby');
INSERT INTO keyholders VALUES (2, CAST('zoë@example.com' AS BLOB), 'Oslo', 'Zoë Marsh');
INSERT INTO keyholders VALUES (3, 'bob@example.com', 'Paris', 'Bob Textman');
CREATE TABLE badges (
    code BLOB PRIMARY KEY,
    label VARCHAR(30)
);
INSERT INTO badges VALUES (CAST('ADA' AS BLOB), 'Gold badge');
INSERT INTO badges VALUES ('BOB', 'Text badge');
INSERT INTO badges VALUES ('ZOË', 'Zinc badge');
CREATE TABLE awards (
    award_id INTEGER PRIMARY KEY,
    badge BLOB,
    note VARCHAR(30)
);
INSERT INTO awards VALUES (1, CAST('ADA' AS BLOB), 'Award of Ada');
INSERT INTO awards VALUES (2, 'BOB', 'Award of Bob');
INSERT INTO awards VALUES (3, CAST('BOB' AS BLOB), 'Second award of Bob');
