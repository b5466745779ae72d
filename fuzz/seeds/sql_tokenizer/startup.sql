select id, lx_word, lx_text, lx_title from lx_items limit 1000
