select id, lx_word, lx_text, lx_title from lx_items
 where lx_word_upper  like '%КІТАП%'
limit 1000
