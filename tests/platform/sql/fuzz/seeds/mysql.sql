SELECT `a b`, 'it\'s', "text" # comment
FROM db.t WHERE x != 1.5E-3 /* unclosed