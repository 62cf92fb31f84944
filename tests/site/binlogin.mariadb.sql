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
INSERT INTO members VALUES (1, 'ada@example.com', CAST('Lisbon' AS BINARY), 'Ada Fernsby', CAST('ADA-BADGE' AS BINARY));
INSERT INTO members VALUES (2, 'zoe@example.com', CAST('Zoë' AS BINARY), 'Zoë Marsh', NULL);
INSERT INTO members VALUES (3, 'nopass@example.com', NULL, 'No Password', NULL);
INSERT INTO members VALUES (4, 'bob@example.com', CAST('Paris' AS BINARY), 'Bob Textman', NULL);
CREATE TABLE keyholders (
    keyholder_id INTEGER PRIMARY KEY,
    login VARBINARY(60) NOT NULL,
    password VARCHAR(60),
    name VARCHAR(60)
);
CREATE UNIQUE INDEX keyholders_login ON keyholders (login);
INSERT INTO keyholders VALUES (1, CAST('ada@example.com' AS BINARY), 'Lisbon', 'Ada Fernsby');
INSERT INTO keyholders VALUES (2, CAST('zoë@example.com' AS BINARY), 'Oslo', 'Zoë Marsh');
INSERT INTO keyholders VALUES (3, CAST('bob@example.com' AS BINARY), 'Paris', 'Bob Textman');
CREATE TABLE badges (
    code VARBINARY(16) PRIMARY KEY,
    label VARCHAR(30)
);
INSERT INTO badges VALUES (CAST('ADA' AS BINARY), 'Gold badge');
INSERT INTO badges VALUES (CAST('BOB' AS BINARY), 'Text badge');
INSERT INTO badges VALUES (CAST('ZOË' AS BINARY), 'Zinc badge');
CREATE TABLE awards (
    award_id INTEGER PRIMARY KEY,
    badge VARBINARY(30),
    note VARCHAR(30)
);
INSERT INTO awards VALUES (1, CAST('ADA' AS BINARY), 'Award of Ada');
INSERT INTO awards VALUES (2, CAST('BOB' AS BINARY), 'Award of Bob');
INSERT INTO awards VALUES (3, CAST('BOB' AS BINARY), 'Second award of Bob');
