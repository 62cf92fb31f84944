-- User tables whose login columns hold bytes: in "members" the password, in "keyholders" the
-- login ID. The bytes are the UTF-8 text of each value ("Lisbon", "Zoë"). A member's badge is
-- binary too, and no secret; so is the key of "badges". The login ID's index is named, for a
-- look at the login's query plan. Each statement ends with ";" at the end of a line.
CREATE TABLE members (
    member_id INTEGER PRIMARY KEY,
    login VARCHAR(60) NOT NULL,
    password BYTEA,
    name VARCHAR(60),
    badge BYTEA
);
INSERT INTO members VALUES (1, 'ada@example.com', convert_to('Lisbon', 'UTF8'), 'Ada Fernsby', convert_to('ADA-BADGE', 'UTF8'));
INSERT INTO members VALUES (2, 'zoe@example.com', convert_to('Zoë', 'UTF8'), 'Zoë Marsh', NULL);
INSERT INTO members VALUES (3, 'nopass@example.com', NULL, 'No Password', NULL);
INSERT INTO members VALUES (4, 'bob@example.com', convert_to('Paris', 'UTF8'), 'Bob Textman', NULL);
CREATE TABLE keyholders (
    keyholder_id INTEGER PRIMARY KEY,
    login BYTEA NOT NULL,
    password VARCHAR(60),
    name VARCHAR(60)
);
CREATE UNIQUE INDEX keyholders_login ON keyholders (login);
INSERT INTO keyholders VALUES (1, convert_to('ada@example.com', 'UTF8'), 'Lisbon', 'Ada Fernsby');
INSERT INTO keyholders VALUES (2, convert_to('zoë@example.com', 'UTF8'), 'Oslo', 'Zoë Marsh');
INSERT INTO keyholders VALUES (3, convert_to('bob@example.com', 'UTF8'), 'Paris', 'Bob Textman');
CREATE TABLE badges (
    code BYTEA PRIMARY KEY,
    label VARCHAR(30)
);
INSERT INTO badges VALUES (convert_to('ADA', 'UTF8'), 'Gold badge');
INSERT INTO badges VALUES (convert_to('BOB', 'UTF8'), 'Text badge');
INSERT INTO badges VALUES (convert_to('ZOË', 'UTF8'), 'Zinc badge');
CREATE TABLE awards (
    award_id INTEGER PRIMARY KEY,
    badge BYTEA,
    note VARCHAR(30)
);
INSERT INTO awards VALUES (1, convert_to('ADA', 'UTF8'), 'Award of Ada');
INSERT INTO awards VALUES (2, convert_to('BOB', 'UTF8'), 'Award of Bob');
INSERT INTO awards VALUES (3, convert_to('BOB', 'UTF8'), 'Second award of Bob');
