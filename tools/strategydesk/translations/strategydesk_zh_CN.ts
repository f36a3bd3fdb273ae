<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AccountsPage</name>
    <message>
        <source>Fund account</source>
        <translation>资金账号</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Python type</source>
        <translation>Python 类型</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>Product:</source>
        <translation>产品：</translation>
    </message>
    <message>
        <source>Fund account:</source>
        <translation>资金账号：</translation>
    </message>
    <message>
        <source>Fund accounts of the product</source>
        <translation>产品的资金账号</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>AddStrategyDialog</name>
    <message>
        <source>Add a strategy</source>
        <translation>添加策略</translation>
    </message>
    <message>
        <source>Give the strategy a name.</source>
        <translation>请为策略命名。</translation>
    </message>
</context>
<context>
    <name>BacktestDaysModel</name>
    <message>
        <source>This day is left out of the figures.</source>
        <translation>该日不计入统计指标。</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日期</translation>
    </message>
    <message>
        <source>Initial funds</source>
        <translation>期初资金</translation>
    </message>
    <message>
        <source>End funds</source>
        <translation>期末资金</translation>
    </message>
    <message>
        <source>Day return</source>
        <translation>日收益率</translation>
    </message>
    <message>
        <source>Drawdown</source>
        <translation>回撤</translation>
    </message>
</context>
<context>
    <name>BacktestFiguresModel</name>
    <message>
        <source>Instance %1</source>
        <translation>实例 %1</translation>
    </message>
    <message>
        <source>Days</source>
        <translation>天数</translation>
    </message>
    <message>
        <source>Days left out</source>
        <translation>未计入天数</translation>
    </message>
    <message>
        <source>First day</source>
        <translation>首日</translation>
    </message>
    <message>
        <source>Last day</source>
        <translation>末日</translation>
    </message>
    <message>
        <source>Start funds</source>
        <translation>起始资金</translation>
    </message>
    <message>
        <source>End funds</source>
        <translation>期末资金</translation>
    </message>
    <message>
        <source>Total return</source>
        <translation>总收益率</translation>
    </message>
    <message>
        <source>Annualised return</source>
        <translation>年化收益率</translation>
    </message>
    <message>
        <source>Annualised volatility</source>
        <translation>年化波动率</translation>
    </message>
    <message>
        <source>Sharpe ratio</source>
        <translation>夏普比率</translation>
    </message>
    <message>
        <source>Maximum drawdown</source>
        <translation>最大回撤</translation>
    </message>
    <message>
        <source>Drawdown peak</source>
        <translation>回撤峰值日</translation>
    </message>
    <message>
        <source>Funds at the peak</source>
        <translation>峰值资金</translation>
    </message>
    <message>
        <source>Drawdown trough</source>
        <translation>回撤谷底日</translation>
    </message>
    <message>
        <source>Funds at the trough</source>
        <translation>谷底资金</translation>
    </message>
    <message>
        <source>Best day</source>
        <translation>最佳交易日</translation>
    </message>
    <message>
        <source>Best day&apos;s return</source>
        <translation>最佳日收益率</translation>
    </message>
    <message>
        <source>Worst day</source>
        <translation>最差交易日</translation>
    </message>
    <message>
        <source>Worst day&apos;s return</source>
        <translation>最差日收益率</translation>
    </message>
    <message>
        <source>Winning days</source>
        <translation>盈利天数占比</translation>
    </message>
</context>
<context>
    <name>BacktestPage</name>
    <message>
        <source>Save chart</source>
        <translation>保存图表</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;HTML page (*.html)</source>
        <translation>PNG 图像 (*.png);;SVG 矢量图 (*.svg);;HTML 网页 (*.html)</translation>
    </message>
    <message>
        <source>Backtest instances</source>
        <translation>回测实例</translation>
    </message>
    <message>
        <source>Select a backtest instance to see its days, or several to compare them.</source>
        <translation>选择一个回测实例查看其每日数据，或选择多个进行对比。</translation>
    </message>
    <message>
        <source>Backtest days</source>
        <translation>回测每日数据</translation>
    </message>
    <message>
        <source>Backtest figures</source>
        <translation>回测指标</translation>
    </message>
    <message>
        <source>Backtests</source>
        <translation>回测</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Save chart...</source>
        <translation>保存图表(&amp;S)...</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1。%2</translation>
    </message>
    <message numerus="yes">
        <source>%n backtest instances</source>
        <translation>
            <numerusform>%n 个回测实例</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n instances compared</source>
        <translation>
            <numerusform>对比 %n 个实例</numerusform>
        </translation>
    </message>
    <message>
        <source>The chart was not saved</source>
        <translation>图表未保存</translation>
    </message>
    <message>
        <source>Select one backtest instance to save its chart.</source>
        <translation>请只选择一个回测实例以保存其图表。</translation>
    </message>
    <message>
        <source>%1 does not end with .png, .svg or .html.</source>
        <translation>%1 的扩展名不是 .png、.svg 或 .html。</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>The chart was saved to %1.</source>
        <translation>图表已保存到 %1。</translation>
    </message>
</context>
<context>
    <name>CodeEditor</name>
    <message>
        <source>Line numbers</source>
        <translation>行号</translation>
    </message>
</context>
<context>
    <name>ComparisonChartView</name>
    <message>
        <source>Equity curves compared</source>
        <translation>资金曲线对比</translation>
    </message>
    <message>
        <source>instance %1 %2</source>
        <translation>实例 %1 %2</translation>
    </message>
</context>
<context>
    <name>DoctorDialog</name>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>info</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Check installation</source>
        <translation>检查安装</translation>
    </message>
    <message>
        <source>Severity</source>
        <translation>级别</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>说明</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>Findings</source>
        <translation>检查结果</translation>
    </message>
    <message>
        <source>&amp;Apply safe fixes...</source>
        <translation>应用安全修复(&amp;A)...</translation>
    </message>
    <message>
        <source>Check a&amp;gain</source>
        <translation>重新检查(&amp;G)</translation>
    </message>
    <message>
        <source>%1

Safe fix: %2</source>
        <translation>%1

安全修复：%2</translation>
    </message>
    <message>
        <source>Nothing was found in %1.</source>
        <translation>%1 中未发现问题。</translation>
    </message>
    <message>
        <source>%1: errors %2, warnings %3, findings with a safe fix %4.</source>
        <translation>%1：错误 %2 项，警告 %3 项，可安全修复 %4 项。</translation>
    </message>
    <message>
        <source>Apply the safe fixes to %1? Each file that changes is copied to a dated backup first.</source>
        <translation>对 %1 应用安全修复？每个要修改的文件会先备份为带日期的副本。</translation>
    </message>
    <message>
        <source>Repairs made: %1.</source>
        <translation>已修复：%1 项。</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1: %2 (backup %3)</source>
        <translation>%1：%2（备份 %3）</translation>
    </message>
    <message>
        <source>Not made: %1</source>
        <translation>未修复：%1</translation>
    </message>
    <message>
        <source>Nothing was changed: the data folder is in use by %1. The repairs need it to themselves: quit StrategyDesk and every other program using the folder, then run strategyctl doctor --fix.</source>
        <translation>未做任何修改：数据目录正被 %1 使用。修复需要独占该目录：请退出 StrategyDesk 及其他使用该目录的程序，然后运行 strategyctl doctor --fix。</translation>
    </message>
    <message>
        <source>Nothing was changed: the data folder could not be locked: %1</source>
        <translation>未做任何修改：无法锁定数据目录：%1</translation>
    </message>
</context>
<context>
    <name>EquityChartView</name>
    <message>
        <source>Equity chart</source>
        <translation>资金曲线图</translation>
    </message>
    <message>
        <source>No day with both funds to draw</source>
        <translation>没有期初与期末资金齐全的日期可绘制</translation>
    </message>
    <message>
        <source>End-of-day funds of instance %1 from %2 to %3</source>
        <translation>实例 %1 的日终资金，从 %2 到 %3</translation>
    </message>
    <message>
        <source>Start of %1: %2</source>
        <translation>%1 期初：%2</translation>
    </message>
    <message>
        <source>End of %1: %2</source>
        <translation>%1 期末：%2</translation>
    </message>
</context>
<context>
    <name>GroupActions</name>
    <message>
        <source>&amp;New group...</source>
        <translation>新建分组(&amp;N)...</translation>
    </message>
    <message>
        <source>Re&amp;name group...</source>
        <translation>重命名分组(&amp;N)...</translation>
    </message>
    <message>
        <source>&amp;Delete group...</source>
        <translation>删除分组(&amp;D)...</translation>
    </message>
    <message>
        <source>&amp;Merge into another group...</source>
        <translation>合并到其他分组(&amp;M)...</translation>
    </message>
    <message>
        <source>%1 is a built-in group: it cannot be changed.</source>
        <translation>%1 是内置分组，不能修改。</translation>
    </message>
    <message>
        <source>The group was not added</source>
        <translation>分组未添加</translation>
    </message>
    <message>
        <source>The group %1 was not renamed</source>
        <translation>分组 %1 未重命名</translation>
    </message>
    <message>
        <source>The group %1 was not deleted</source>
        <translation>分组 %1 未删除</translation>
    </message>
    <message>
        <source>%1 was not merged into %2</source>
        <translation>%1 未合并到 %2</translation>
    </message>
    <message>
        <source>New group</source>
        <translation>新建分组</translation>
    </message>
    <message>
        <source>Name of the new group:</source>
        <translation>新分组名称：</translation>
    </message>
    <message>
        <source>Rename group</source>
        <translation>重命名分组</translation>
    </message>
    <message>
        <source>New name of %1:</source>
        <translation>%1 的新名称：</translation>
    </message>
    <message>
        <source>Delete group</source>
        <translation>删除分组</translation>
    </message>
    <message>
        <source>Delete the empty group %1?</source>
        <translation>删除空分组 %1？</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message numerus="yes">
        <source>The group %1 holds %n strategies. Move them to %2, or delete them with the group? Deleted strategies cannot be brought back.</source>
        <translation>
            <numerusform>分组 %1 中有 %n 个策略。将它们移到 %2，还是与分组一起删除？删除的策略无法恢复。</numerusform>
        </translation>
    </message>
    <message>
        <source>Move them to %1 and delete the group</source>
        <translation>移到 %1 并删除分组</translation>
    </message>
    <message>
        <source>Delete the group and its strategies</source>
        <translation>删除分组及其策略</translation>
    </message>
    <message>
        <source>Merge group</source>
        <translation>合并分组</translation>
    </message>
    <message>
        <source>Move every strategy of %1 into which group? %1 is deleted then.</source>
        <translation>将 %1 的全部策略移到哪个分组？之后 %1 将被删除。</translation>
    </message>
</context>
<context>
    <name>GroupListModel</name>
    <message>
        <source>All strategies (%1)</source>
        <translation>全部策略 (%1)</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message numerus="yes">
        <source>%n strategies in all</source>
        <translation>
            <numerusform>共 %n 个策略</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: a built-in group, it cannot be renamed or deleted (%n strategies)</source>
        <translation>
            <numerusform>%1：内置分组，不能重命名或删除（%n 个策略）</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n strategies</source>
        <translation>
            <numerusform>%1：%n 个策略</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>HistoryDock</name>
    <message>
        <source>History</source>
        <translation>历史记录</translation>
    </message>
    <message>
        <source>Strategy &amp;id:</source>
        <translation>策略编号(&amp;I)：</translation>
    </message>
    <message>
        <source>all strategies</source>
        <translation>全部策略</translation>
    </message>
    <message>
        <source>Show the changes of the strategy with this id</source>
        <translation>显示此编号策略的变更</translation>
    </message>
    <message>
        <source>Changes, newest first</source>
        <translation>变更记录，最新的在前</translation>
    </message>
</context>
<context>
    <name>HistoryModel</name>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Operation</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>What changed</source>
        <translation>变更内容</translation>
    </message>
    <message numerus="yes">
        <source>%n lines of the history could not be read and are left out.</source>
        <translation>
            <numerusform>历史记录中有 %n 行无法读取，已略过。</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ImportPlanDialog</name>
    <message>
        <source>backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>remove</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>add</source>
        <translation>新增</translation>
    </message>
    <message>
        <source>rename</source>
        <translation>改名</translation>
    </message>
    <message>
        <source>keep</source>
        <translation>保留</translation>
    </message>
    <message>
        <source>set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>an action of the import, how many records it touches</comment>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the counts of the actions</comment>
        <translation>，</translation>
    </message>
    <message>
        <source>Import (merge) %1</source>
        <translation>导入（合并）%1</translation>
    </message>
    <message>
        <source>Import (replace) %1</source>
        <translation>导入（替换）%1</translation>
    </message>
    <message>
        <source>Where (JSON pointer)</source>
        <translation>位置（JSON 指针）</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>问题</translation>
    </message>
    <message>
        <source>(the whole document)</source>
        <translation>（整个文档）</translation>
    </message>
    <message>
        <source>The bundle cannot be imported; nothing was changed.</source>
        <translation>该策略包无法导入，未做任何修改。</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详情</translation>
    </message>
    <message>
        <source>The data folder holds everything of %1 already: the import would change nothing.</source>
        <translation>数据目录已包含 %1 的全部内容，导入不会做任何修改。</translation>
    </message>
    <message>
        <source>What the import would do: %1. Nothing is changed until you apply it.</source>
        <translation>导入将执行：%1。应用之前不会做任何修改。</translation>
    </message>
    <message>
        <source>What the import would do: %1, replacing the strategies and groups of the data folder (the data file and the groups file are backed up first). Nothing is changed until you apply it.</source>
        <translation>导入将执行：%1，替换数据目录中的策略和分组（数据文件和分组文件会先备份）。应用之前不会做任何修改。</translation>
    </message>
    <message>
        <source>Changes of the import</source>
        <translation>导入的变更</translation>
    </message>
    <message>
        <source>Problems of the bundle</source>
        <translation>策略包的问题</translation>
    </message>
    <message>
        <source>&amp;Apply</source>
        <translation>应用(&amp;A)</translation>
    </message>
</context>
<context>
    <name>InstanceParamsModel</name>
    <message>
        <source>Index</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Flag</source>
        <translation>标志</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>描述</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>范围</translation>
    </message>
    <message>
        <source>Precision</source>
        <translation>精度</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认值</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分组</translation>
    </message>
</context>
<context>
    <name>InstanceTableModel</name>
    <message>
        <source>Mode %1 (%2)</source>
        <translation>模式 %1 (%2)</translation>
    </message>
    <message>
        <source>Mode %1, which the plug-in does not name</source>
        <translation>模式 %1，插件未给出其名称</translation>
    </message>
    <message>
        <source>Not set</source>
        <translation>未设置</translation>
    </message>
    <message>
        <source>Instance</source>
        <translation>实例</translation>
    </message>
    <message>
        <source>Run mode</source>
        <translation>运行模式</translation>
    </message>
    <message>
        <source>Fund account</source>
        <translation>资金账号</translation>
    </message>
    <message>
        <source>Registration answer</source>
        <translation>注册应答</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始时间</translation>
    </message>
    <message>
        <source>End</source>
        <translation>结束时间</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>实盘</translation>
    </message>
    <message>
        <source>Simulated</source>
        <translation>模拟交易</translation>
    </message>
    <message>
        <source>Backtest</source>
        <translation>回测</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Mode %1</source>
        <translation>模式 %1</translation>
    </message>
</context>
<context>
    <name>InstancesPage</name>
    <message>
        <source>Show instances of the run mode</source>
        <translation>显示该运行模式的实例</translation>
    </message>
    <message>
        <source>All run modes</source>
        <translation>全部运行模式</translation>
    </message>
    <message>
        <source>Find by instance, fund account or registration answer (Ctrl+F)</source>
        <translation>按实例、资金账号或注册应答查找 (Ctrl+F)</translation>
    </message>
    <message>
        <source>Filter instances</source>
        <translation>筛选实例</translation>
    </message>
    <message>
        <source>Sho&amp;w:</source>
        <translation>显示(&amp;W)：</translation>
    </message>
    <message>
        <source>Find instances</source>
        <translation>查找实例</translation>
    </message>
    <message>
        <source>Strategy instances</source>
        <translation>策略实例</translation>
    </message>
    <message>
        <source>User parameters of the instance</source>
        <translation>实例的用户参数</translation>
    </message>
    <message>
        <source>User parameters</source>
        <translation>用户参数</translation>
    </message>
    <message>
        <source>Select an instance to see its user parameters.</source>
        <translation>选择一个实例以查看其用户参数。</translation>
    </message>
    <message>
        <source>User parameters of instance %1</source>
        <translation>实例 %1 的用户参数</translation>
    </message>
    <message>
        <source>Instance %1 has no user parameters: the strategy server&apos;s list of instances has given it none.</source>
        <translation>实例 %1 没有用户参数：策略服务器的实例列表未提供任何参数。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>StrategyDesk - %1</source>
        <translation>StrategyDesk - %1</translation>
    </message>
    <message>
        <source>Strategy groups</source>
        <translation>策略分组</translation>
    </message>
    <message>
        <source>Find by name, file or text (Ctrl+F)</source>
        <translation>按名称、文件或文本查找 (Ctrl+F)</translation>
    </message>
    <message>
        <source>Filter strategies</source>
        <translation>筛选策略</translation>
    </message>
    <message>
        <source>Fixed strategies</source>
        <translation>固定策略</translation>
    </message>
    <message>
        <source>Strategies</source>
        <translation>策略</translation>
    </message>
    <message>
        <source>Strategy file</source>
        <translation>策略文件</translation>
    </message>
    <message>
        <source>The file was not saved</source>
        <translation>文件未保存</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Strategy</source>
        <translation>策略(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>添加(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>删除(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Lock or unlock the file</source>
        <translation>锁定或解锁文件(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Find</source>
        <translation>查找(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Group</source>
        <translation>分组(&amp;G)</translation>
    </message>
    <message>
        <source>The strategy file %1 has unsaved edits. Close without saving them?</source>
        <translation>策略文件 %1 有未保存的修改。不保存就关闭？</translation>
    </message>
    <message>
        <source>The strategy file %1 has unsaved edits. Show another file without saving them?</source>
        <translation>策略文件 %1 有未保存的修改。不保存就显示其他文件？</translation>
    </message>
    <message numerus="yes">
        <source>User %1 · data folder %2 · %n strategies</source>
        <translation>
            <numerusform>用户 %1 · 数据目录 %2 · %n 个策略</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <comment>what was not done: why</comment>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>The strategy was not added</source>
        <translation>策略未添加</translation>
    </message>
    <message numerus="yes">
        <source>Remove %n fixed strategies? This cannot be undone.</source>
        <translation>
            <numerusform>删除 %n 个固定策略？此操作无法撤销。</numerusform>
        </translation>
    </message>
    <message>
        <source>The strategy %1 was not removed</source>
        <translation>策略 %1 未删除</translation>
    </message>
    <message>
        <source>%1 was not locked</source>
        <translation>%1 未锁定</translation>
    </message>
    <message>
        <source>%1 was not unlocked</source>
        <translation>%1 未解锁</translation>
    </message>
    <message numerus="yes">
        <source>move %n strategies to %1</source>
        <translation>
            <numerusform>将 %n 个策略移到 %1</numerusform>
        </translation>
    </message>
    <message>
        <source>The strategy %1 was not moved to %2</source>
        <translation>策略 %1 未移到 %2</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>重做(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Modify...</source>
        <translation>修改(&amp;M)...</translation>
    </message>
    <message>
        <source>modify %1</source>
        <translation>修改 %1</translation>
    </message>
    <message>
        <source>The strategy %1 was not changed</source>
        <translation>策略 %1 未修改</translation>
    </message>
    <message>
        <source>Bundles (*.json)</source>
        <translation>策略包 (*.json)</translation>
    </message>
    <message>
        <source>Bundles (*.json);;All files (*)</source>
        <translation>策略包 (*.json);;所有文件 (*)</translation>
    </message>
    <message>
        <source>&amp;Export...</source>
        <translation>导出(&amp;E)...</translation>
    </message>
    <message>
        <source>&amp;Import</source>
        <translation>导入(&amp;I)</translation>
    </message>
    <message>
        <source>&amp;Merge into the strategies...</source>
        <translation>合并到现有策略(&amp;M)...</translation>
    </message>
    <message>
        <source>&amp;Replace the strategies...</source>
        <translation>替换现有策略(&amp;R)...</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Check installation...</source>
        <translation>检查安装(&amp;C)...</translation>
    </message>
    <message>
        <source>Export the strategies</source>
        <translation>导出策略</translation>
    </message>
    <message>
        <source>The strategies were not exported</source>
        <translation>策略未导出</translation>
    </message>
    <message>
        <source>Exported %1 strategies and %2 groups to %3</source>
        <translation>已将 %1 个策略和 %2 个分组导出到 %3</translation>
    </message>
    <message>
        <source>Import a bundle (merge)</source>
        <translation>导入策略包（合并）</translation>
    </message>
    <message>
        <source>Import a bundle (replace)</source>
        <translation>导入策略包（替换）</translation>
    </message>
    <message>
        <source>%1 was not imported</source>
        <translation>%1 未导入</translation>
    </message>
    <message numerus="yes">
        <source>Imported %1: %n changes</source>
        <translation>
            <numerusform>已导入 %1：%n 项变更</numerusform>
        </translation>
    </message>
    <message>
        <source>Instances</source>
        <translation>实例</translation>
    </message>
    <message>
        <source>Backtests</source>
        <translation>回测</translation>
    </message>
    <message>
        <source>Simulated trades</source>
        <translation>模拟交易</translation>
    </message>
    <message>
        <source>Accounts</source>
        <translation>账户</translation>
    </message>
    <message>
        <source>&amp;Settings...</source>
        <translation>设置(&amp;S)...</translation>
    </message>
    <message>
        <source>More tools of %1</source>
        <translation>%1 的更多工具</translation>
    </message>
</context>
<context>
    <name>ModifyStrategyDialog</name>
    <message>
        <source>Modify the strategy %1</source>
        <translation>修改策略 %1</translation>
    </message>
    <message>
        <source>Give the strategy a name.</source>
        <translation>请为策略命名。</translation>
    </message>
</context>
<context>
    <name>PluginSession</name>
    <message>
        <source>The data folder is in use by %1.

StrategyDesk changes nothing while another program holds it.</source>
        <translation>数据目录正被 %1 使用。

在其他程序占用期间，StrategyDesk 不做任何修改。</translation>
    </message>
    <message>
        <source>%1 cannot be used as the data folder.</source>
        <translation>%1 不能用作数据目录。</translation>
    </message>
    <message>
        <source>The data folder %1 cannot be locked: %2</source>
        <translation>无法锁定数据目录 %1：%2</translation>
    </message>
    <message>
        <source>The plug-in could not start in %1.</source>
        <translation>插件无法在 %1 中启动。</translation>
    </message>
</context>
<context>
    <name>RunModeBar</name>
    <message>
        <source>Run mode</source>
        <translation>运行模式</translation>
    </message>
    <message>
        <source>Run &amp;mode:</source>
        <translation>运行模式(&amp;M)：</translation>
    </message>
    <message>
        <source>Run mode of the plug-in</source>
        <translation>插件的运行模式</translation>
    </message>
    <message>
        <source>The run mode of the plug-in in this process; it is not kept</source>
        <translation>插件在本进程中的运行模式，不会保存</translation>
    </message>
    <message>
        <source>The plug-in kept the run mode %1.</source>
        <translation>插件仍为运行模式 %1。</translation>
    </message>
    <message>
        <source>The run mode was not changed to %1</source>
        <translation>运行模式未切换为 %1</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Python installation</source>
        <translation>Python 安装</translation>
    </message>
    <message>
        <source>Python installation path</source>
        <translation>Python 安装路径</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>浏览(&amp;B)...</translation>
    </message>
    <message>
        <source>Browse for the Python installation</source>
        <translation>浏览选择 Python 安装位置</translation>
    </message>
    <message>
        <source>Start strategies &amp;automatically</source>
        <translation>自动启动策略(&amp;A)</translation>
    </message>
    <message>
        <source>While it is on, the group &quot;%1&quot; is added at start when it is missing; turning it off leaves the group in place.</source>
        <translation>开启时，若分组“%1”不存在，启动时会添加该分组；关闭此项不会删除该分组。</translation>
    </message>
    <message>
        <source>&amp;Python:</source>
        <translation>Python(&amp;P)：</translation>
    </message>
    <message>
        <source>There is no file %1.</source>
        <translation>文件 %1 不存在。</translation>
    </message>
    <message>
        <source>The Python path was not saved: %1</source>
        <translation>Python 路径未保存：%1</translation>
    </message>
</context>
<context>
    <name>SimuPage</name>
    <message>
        <source>Instance id</source>
        <translation>实例编号</translation>
    </message>
    <message>
        <source>Sh&amp;ow</source>
        <translation>显示(&amp;O)</translation>
    </message>
    <message>
        <source>Filter orders and fills</source>
        <translation>筛选委托和成交</translation>
    </message>
    <message>
        <source>&amp;All columns</source>
        <translation>全部列(&amp;A)</translation>
    </message>
    <message>
        <source>Simulated orders</source>
        <translation>模拟委托</translation>
    </message>
    <message>
        <source>Simulated fills</source>
        <translation>模拟成交</translation>
    </message>
    <message>
        <source>There is no simulated-trading database: %1 does not exist.</source>
        <translation>没有模拟交易数据库：%1 不存在。</translation>
    </message>
</context>
<context>
    <name>SimuTradeModel</name>
    <message>
        <source>Order</source>
        <translation>委托编号</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>证券代码</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Side</source>
        <translation>买卖方向</translation>
    </message>
    <message>
        <source>Quantity</source>
        <translation>数量</translation>
    </message>
    <message>
        <source>Price</source>
        <translation>价格</translation>
    </message>
    <message>
        <source>Filled</source>
        <translation>成交数量</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>未成交数量</translation>
    </message>
    <message>
        <source>Average price</source>
        <translation>成交均价</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>委托类型</translation>
    </message>
    <message>
        <source>Price style</source>
        <translation>价格类型</translation>
    </message>
    <message>
        <source>Invest type</source>
        <translation>投资类型</translation>
    </message>
    <message>
        <source>Position effect</source>
        <translation>开平方向</translation>
    </message>
    <message>
        <source>Fund account</source>
        <translation>资金账号</translation>
    </message>
    <message>
        <source>Entrust property</source>
        <translation>委托属性</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>备注</translation>
    </message>
    <message>
        <source>Instance</source>
        <translation>实例</translation>
    </message>
    <message>
        <source>Match time</source>
        <translation>成交时间</translation>
    </message>
    <message>
        <source>Fill</source>
        <translation>成交编号</translation>
    </message>
</context>
<context>
    <name>StrategyCommand</name>
    <message>
        <source>The strategy %1 was not changed back or again</source>
        <translation>策略 %1 未能撤销或重做修改</translation>
    </message>
    <message numerus="yes">
        <source>lock %n files</source>
        <translation>
            <numerusform>锁定 %n 个文件</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>unlock %n files</source>
        <translation>
            <numerusform>解锁 %n 个文件</numerusform>
        </translation>
    </message>
    <message>
        <source>lock %1</source>
        <translation>锁定 %1</translation>
    </message>
    <message>
        <source>unlock %1</source>
        <translation>解锁 %1</translation>
    </message>
    <message>
        <source>%1 was not locked</source>
        <translation>%1 未锁定</translation>
    </message>
    <message>
        <source>%1 was not unlocked</source>
        <translation>%1 未解锁</translation>
    </message>
    <message>
        <source>rename group %1 to %2</source>
        <translation>将分组 %1 重命名为 %2</translation>
    </message>
    <message>
        <source>The group %1 was not renamed</source>
        <translation>分组 %1 未重命名</translation>
    </message>
</context>
<context>
    <name>StrategyFileView</name>
    <message>
        <source>Strategy file</source>
        <translation>策略文件</translation>
    </message>
    <message>
        <source>File changed on disk</source>
        <translation>文件已在磁盘上更改</translation>
    </message>
    <message>
        <source>%1 has changed on disk. Reload it and drop your unsaved edits?</source>
        <translation>%1 已在磁盘上更改。重新加载并放弃未保存的修改？</translation>
    </message>
    <message>
        <source>No strategy file is shown.</source>
        <translation>未显示策略文件。</translation>
    </message>
    <message>
        <source>%1 could not be saved: %2</source>
        <translation>%1 无法保存：%2</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB</source>
        <translation>文件大于 %1 MiB</translation>
    </message>
    <message>
        <source>The file %1 does not exist.</source>
        <translation>文件 %1 不存在。</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 是文件夹，不是文件。</translation>
    </message>
    <message>
        <source>The file %1 cannot be read: %2.</source>
        <translation>无法读取文件 %1：%2。</translation>
    </message>
    <message>
        <source>%1 is not UTF-8 text: the bytes that are not are shown as �. It is read-only here, since saving it would change those bytes.</source>
        <translation>%1 不是 UTF-8 文本：无效的字节显示为 �。此处为只读，因为保存会改变这些字节。</translation>
    </message>
    <message>
        <source>%1 has line endings or characters that the editor would change: it is read-only here, since saving it would change its bytes.</source>
        <translation>%1 含有编辑器会改变的换行符或字符：此处为只读，因为保存会改变其字节。</translation>
    </message>
    <message>
        <source>%1 is locked: unlock it to edit.</source>
        <translation>%1 已锁定：解锁后才能编辑。</translation>
    </message>
</context>
<context>
    <name>StrategyForm</name>
    <message>
        <source>/path/to/strategy.py</source>
        <translation>/路径/策略.py</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>浏览...</translation>
    </message>
    <message>
        <source>Choose the strategy file</source>
        <translation>选择策略文件</translation>
    </message>
    <message>
        <source>Copies are named NAME, NAME_1, NAME_2, ...</source>
        <translation>副本依次命名为 名称、名称_1、名称_2……</translation>
    </message>
    <message>
        <source>&amp;File:</source>
        <translation>文件(&amp;F)：</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>名称(&amp;N)：</translation>
    </message>
    <message>
        <source>&amp;Copies:</source>
        <translation>副本数(&amp;C)：</translation>
    </message>
    <message>
        <source>&amp;Group:</source>
        <translation>分组(&amp;G)：</translation>
    </message>
    <message>
        <source>&amp;Text:</source>
        <translation>文本(&amp;T)：</translation>
    </message>
    <message>
        <source>Choose a strategy file</source>
        <translation>选择策略文件</translation>
    </message>
    <message>
        <source>Python strategies (*.py *.pyd *.pyc)</source>
        <translation>Python 策略 (*.py *.pyd *.pyc)</translation>
    </message>
    <message>
        <source>Choose the strategy file.</source>
        <translation>请选择策略文件。</translation>
    </message>
    <message>
        <source>A strategy file ends with .py, .pyd or .pyc.</source>
        <translation>策略文件的扩展名须为 .py、.pyd 或 .pyc。</translation>
    </message>
    <message>
        <source>The file name may hold no blank and none of \ / : * ? &quot; &lt; &gt;, and its name before the first dot has 1 to 30 characters.</source>
        <translation>文件名不能含空格及 \ / : * ? &quot; &lt; &gt; 中的任何字符，第一个点之前的部分须为 1 到 30 个字符。</translation>
    </message>
</context>
<context>
    <name>StrategyLogic::ComparisonChart</name>
    <message>
        <source>%1 (no days)</source>
        <translation>%1（无交易日）</translation>
    </message>
    <message>
        <source>start</source>
        <translation>起点</translation>
    </message>
    <message numerus="yes">
        <source>Equity of %n instances from the same start</source>
        <translation>
            <numerusform>%n 个实例自同一起点的资金曲线</numerusform>
        </translation>
    </message>
    <message>
        <source>Funds scaled to start at %1; trading days from the start along the bottom</source>
        <translation>资金按同一起点 %1 缩放；横轴为自起点起的交易日数</translation>
    </message>
</context>
<context>
    <name>StrategyLogic::EquityChart</name>
    <message>
        <source>start</source>
        <translation>起点</translation>
    </message>
    <message>
        <source>End-of-day funds</source>
        <translation>日终资金</translation>
    </message>
    <message>
        <source>Running peak</source>
        <translation>历史峰值</translation>
    </message>
    <message>
        <source>Drawdown</source>
        <translation>回撤</translation>
    </message>
    <message>
        <source>Equity of instance %1</source>
        <translation>实例 %1 的资金曲线</translation>
    </message>
    <message>
        <source>Total return</source>
        <translation>总收益率</translation>
    </message>
    <message>
        <source>Max drawdown</source>
        <translation>最大回撤</translation>
    </message>
    <message>
        <source>Sharpe</source>
        <translation>夏普</translation>
    </message>
    <message>
        <source>No day with both funds to draw</source>
        <translation>没有期初与期末资金俱全的交易日可绘制</translation>
    </message>
    <message>
        <source>End-of-day funds, running peak and drawdown</source>
        <translation>日终资金、历史峰值与回撤</translation>
    </message>
    <message numerus="yes">
        <source>%1, %n days</source>
        <translation>
            <numerusform>%1，共 %n 个交易日</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 to %2, %n days</source>
        <translation>
            <numerusform>%1 至 %2，共 %n 个交易日</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>StrategyTableModel</name>
    <message>
        <source>The file is locked: it cannot be edited</source>
        <translation>文件已锁定，不能编辑</translation>
    </message>
    <message>
        <source>The file is not locked</source>
        <translation>文件未锁定</translation>
    </message>
    <message>
        <source>Locked</source>
        <translation>锁定</translation>
    </message>
    <message>
        <source>Not locked</source>
        <translation>未锁定</translation>
    </message>
    <message>
        <source>Id</source>
        <translation>编号</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分组</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文本</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>副本</translation>
    </message>
</context>
</TS>
