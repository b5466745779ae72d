select a /* from x */ from t -- where b
	where c in (select distinct b from `u` limit 2 offset 1) order by a limit 0x10