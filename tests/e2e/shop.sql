-- A small shop for the end-to-end runs of the quorvane program.
CREATE TABLE customers (
    id INTEGER PRIMARY KEY,
    name VARCHAR(50) NOT NULL,
    city VARCHAR(40),
    active BOOLEAN NOT NULL DEFAULT 1
);
CREATE TABLE products (
    code CHAR(8) PRIMARY KEY,
    title VARCHAR(80) NOT NULL,
    price DECIMAL(10,2)
);
CREATE TABLE order_lines (
    order_id INTEGER NOT NULL,
    line_no INTEGER NOT NULL,
    product CHAR(8) NOT NULL REFERENCES products (code),
    quantity INTEGER NOT NULL,
    PRIMARY KEY (order_id, line_no)
);
CREATE VIEW big_lines AS SELECT order_id, line_no, quantity FROM order_lines WHERE quantity > 10;
INSERT INTO customers (id, name, city) VALUES (1, 'Ann', 'Oslo'), (2, 'Bo', 'Lund');
INSERT INTO products VALUES ('P1', 'Tea', 3.5), ('P2', 'Cup', 7.25);
INSERT INTO order_lines VALUES (1, 1, 'P1', 12), (1, 2, 'P2', 1);
