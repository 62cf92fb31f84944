-- The shared test schema, SQLite edition. Each statement ends with ";" at the end of a line.
CREATE TABLE customers (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name VARCHAR(50) NOT NULL,
    email VARCHAR(100) UNIQUE,
    city VARCHAR(40),
    balance DECIMAL(10,2),
    rating REAL,
    score DOUBLE,
    active BOOLEAN NOT NULL DEFAULT 1,
    born DATE,
    created TIMESTAMP,
    wakes TIME,
    notes TEXT,
    photo BLOB,
    code CHAR(5),
    small_count SMALLINT,
    big_count BIGINT
);
CREATE INDEX customers_city ON customers (city);
CREATE TABLE order_lines (
    order_id INTEGER NOT NULL,
    line_no INTEGER NOT NULL,
    product VARCHAR(30) NOT NULL,
    quantity INTEGER NOT NULL,
    PRIMARY KEY (order_id, line_no),
    CONSTRAINT order_lines_product UNIQUE (order_id, product)
);
CREATE INDEX order_lines_quantity ON order_lines (quantity);
CREATE TABLE "orderXlines" (
    other_column INTEGER
);
CREATE TABLE "Order Details" (
    "Order ID" INTEGER PRIMARY KEY,
    "Unit Price" DECIMAL(10,2),
    "MixedCase" VARCHAR(10)
);
CREATE TABLE "quote""table" (
    "it's" INTEGER,
    "quote""column" VARCHAR(10),
    "naïve ✓" VARCHAR(10)
);
CREATE TABLE identity_keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    label VARCHAR(10)
);
CREATE VIEW customer_names AS SELECT id, name AS customer_name FROM customers;
INSERT INTO customers (name, email, city, balance, rating, score, active, born, created, wakes, notes, photo, code, small_count, big_count)
    VALUES ('Ann', 'ann@example.com', 'Oslo', 12.5, 1.5, 2.25, 1, '1980-02-29', '2020-01-02 03:04:05', '06:30:00', 'Ünïcode ✓', X'00FF10', 'AB', 7, 5000000000);
INSERT INTO customers (name, active) VALUES ('Bob', 0);
INSERT INTO order_lines VALUES (1, 1, 'tea', 2);
