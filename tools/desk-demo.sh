#!/usr/bin/env bash
# Fills a demo data folder with strategyctl (groups, strategies whose files
# exist, copies, a lock, an instance), then opens strategydesk on it.
#
#   tools/desk-demo.sh BIN_DIR [FOLDER]
#
# FOLDER defaults to a new temporary folder; an existing one is opened as
# it is.
set -euo pipefail

BIN=$(readlink -f "${1:-build/bin}")
DEMO=${2:-}
if [ -z "$DEMO" ]; then
    DEMO=$(mktemp -d /tmp/strategydesk-demo.XXXXXX)
fi
export STRATEGYLOGIC_ID_DIR="$DEMO/ids"

if [ ! -e "$DEMO/sarvek.db" ]; then
    mkdir -p "$DEMO/strategies"
    cat > "$DEMO/strategies/ma_cross.py" <<'PY'
# Moving-average cross: long when the fast average crosses above the slow one.
import numpy as np

FAST, SLOW = 5, 20


def signal(closes):
    """1 to hold, 0 to stay out."""
    if len(closes) < SLOW:
        return 0
    fast = np.mean(closes[-FAST:])
    slow = np.mean(closes[-SLOW:])
    return 1 if fast > slow else 0
PY
    cat > "$DEMO/strategies/grid.py" <<'PY'
# Grid trading between two prices.
LOW, HIGH, STEPS = 3.20, 3.80, 6


@staticmethod
def levels():
    step = (HIGH - LOW) / STEPS
    return [round(LOW + i * step, 3) for i in range(STEPS + 1)]
PY
    cat > "$DEMO/strategies/momentum.py" <<'PY'
'''Twelve-month momentum, skipping the last month.'''
LOOKBACK = 252


def score(prices):
    return prices[-21] / prices[-LOOKBACK] - 1  # the return over eleven months
PY
    S="$DEMO/strategies"
    "$BIN/strategyctl" --home "$DEMO" shell >/dev/null <<SHELL
group add 趋势
group add 震荡
group add 动量
strategy add $S/ma_cross.py 双均线 --group 趋势 --extra 日线 --count 3
strategy add $S/grid.py 网格 --group 震荡 --extra "3.2 to 3.8"
strategy add $S/momentum.py momentum --group 动量
strategy add $S/missing.py 已删除的文件
lock on $S/grid.py
instance add 1024 2 --account 880001
SHELL
fi
echo "strategydesk on $DEMO"
exec "$BIN/strategydesk" --home "$DEMO"
