-- A table numbered from a sequence that its default names without a schema, as dumps of older
-- databases have them: the name is looked up through the search path each time a row is added.
-- Each statement ends with ";" at the end of a line.
CREATE SEQUENCE users_seq;
CREATE TABLE users (
    user_id INTEGER DEFAULT nextval(('users_seq'::text)::regclass) NOT NULL PRIMARY KEY,
    name VARCHAR(60) NOT NULL
);
INSERT INTO users (name) VALUES ('Ada');
