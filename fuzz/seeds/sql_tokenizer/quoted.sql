SELECT a, "b c", [d] FROM "main"."t" x WHERE y = 'it''s where' AND z IS NOT NULL ORDER BY a DESC, b ASC
