#!/usr/bin/env bash
# A scripted strategyctl session in a fresh installation folder: what a
# user's day with the strategy plug-in looks like, across several processes.
set -euo pipefail

CTL=$(readlink -f "${1:-build/bin/strategyctl}")
DEMO=$(mktemp -d /tmp/strategylogic-demo.XXXXXX)
# The id sequences of this demo stay inside its folder.
export STRATEGYLOGIC_ID_DIR="$DEMO/ids"

run() {
    printf '\n$ strategyctl %s\n' "$*"
    "$CTL" --home "$DEMO" "$@" || printf '(exit status %d)\n' "$?"
}

shell() {
    printf '\n$ strategyctl shell <<EOF\n%s\nEOF\n' "$1"
    printf '%s\n' "$1" | "$CTL" --home "$DEMO" shell || printf '(exit status %d)\n' "$?"
}

title() {
    printf '\n=== %s\n' "$*"
}

title "A fresh installation folder: $DEMO"
run status

title "The remembered product and fund account survive a restart (two processes)"
run product set P001
run fundaccount set 880001
run product
run fundaccount

title "Fixed strategies of an older version, kept in its database, move into the data file"
sqlite3 "$DEMO/sarvek.db" <<'SQL'
create table fixedstrategyinfo(id integer primary key, name varchar(120), file_path varchar(255),
                               user_name varchar(64), group_name varchar(64), extra_info varchar(255));
insert into fixedstrategyinfo(name, file_path, user_name, group_name, extra_info)
    values ('双均线', 'D:/s/ma.py', 'Demo01', '', 'from v1'),
           ('网格', 'D:/s/grid.py', 'Demo01', '震荡', '');
SQL
run strategy list
printf '\n$ cat work/demo01/SarvekFixStrategy.dat\n'
cat "$DEMO/work/demo01/SarvekFixStrategy.dat"

title "A user's day with strategies: groups, copies, a rename, a moved and locked file"
shell "group add 趋势
group rename 趋势 趋势跟踪
group add 自动启动
strategy default-name D:/s/ma.py
strategy add D:/s/abc.py abc --group 趋势跟踪 --count 3
strategy modify 3 --name abc_main
strategy move D:/s/abc.py D:/s/trend/abc.py
lock on D:/s/trend/abc.py
group sorted"

title "Everything read back by a second process"
run strategy list
run group list
run strategy names D:/s/trend/abc.py
run lock status D:/s/trend/abc.py

title "A backtest instance and its trading days; the flush writes them every 3 s"
shell "instance add 1024 2 --account 880001 --reg ok
cash init 1024 2026-12-01 1000000
cash end 1024 2026-12-01 1012000.5
cash init 1024 2026-12-02 1012000.5
cash end 1024 2026-12-02 998000
wait 3500
db instance_info
db backtest_daycash"

title "Fund accounts by product"
run account products
run account list P001
run account info 990001

title "Instances and cash read back by a new process"
run instance show 1024
run cash show 1024

title "Three more days in one run each, then the backtest's figures and its equity chart"
run cash day 1024 2026-12-03 998000 1003990
run cash day 1024 2026-12-04 1003990 1015030.5
run cash day 1024 2026-12-07 1015030.5 1009955.35
run report 1024 --png "$DEMO/equity.png" --html "$DEMO/report.html"

title "A health check, a bundle of the user's state, and the history of changes"
run doctor
run export "$DEMO/bundle.json"
run history

title "Simulated trades recorded by the simulated-trading engine"
sqlite3 "$DEMO/Sarvek_SimuTrade.db" <<'SQL'
create table order_info(order_id text, inst_id integer, symbol text, date_time text, batch_no text,
                        order_qty integer, leave_qty integer, cum_qty integer, side text, status text, type text,
                        px real, avg_px real, style text, fund_account text, enturst_prop text, text text);
create table deal_info(order_id text, inst_id integer, symbol text, exchange_matchDate text, exec_id text,
                       last_qty integer, side text, last_px real, fund_account text);
insert into order_info values
    ('O1', 2001, '600000', '2026-12-03 09:31:02', 'B1', 1000, 0, 1000, '1', '8', '1', 10.5, 10.5, '0', '880001', '0', '全部成交'),
    ('O2', 2001, '600000', '2026-12-03 10:02:40', 'B1', 500, 500, 0, '2', '2', '1', 10.8, 0, '0', '880001', '0', NULL),
    ('O3', 2002, 'IF2412', '2026-12-03 09:35:00', 'B2', 2, 0, 2, '1', '8', '1', 3912.2, 3912.2, '0', '990001', '0', '');
insert into deal_info values
    ('O1', 2001, '600000', '20261203', 'E1', 600, '1', 10.5, '880001'),
    ('O1', 2001, '600000', '20261203', 'E2', 400, '1', 10.5, '880001'),
    ('O3', 2002, 'IF2412', '20261203', 'E3', 2, '1', 3912.2, '990001');
SQL
run simu orders 2001
run simu fills 2001

title "Name rules and labels"
run name file "te st.py"
run name strict D:/s/my_strategy.py
run name dir 1abc
run label cover 10007890 1
run label invest IF2412 1

printf '\nThe demo folder stays for a look: %s\n' "$DEMO"
