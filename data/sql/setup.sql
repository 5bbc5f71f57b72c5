-- 砚禾澄屿合同管理系统: shared database setup (SQL Server).
-- Creates the five fixed tables, the administrator "admin" (initial password 123456)
-- a first account set with its contract table, and the indexes. Safe to run again.

IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'ztb')
    create table ztb(账套名 nvarchar(100) not null,隶属部门 nvarchar(200),备注 nvarchar(500),引用合同表 nvarchar(20) not null,合同编号 nvarchar(50),日志数 int,默认启动 nvarchar(10),账套年份 nvarchar(10));
GO

IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'yhb')
    create table yhb(用户名 nvarchar(50) not null,密码 nvarchar(50),审核 nvarchar(10),反审 nvarchar(10),变更 nvarchar(10),修改 nvarchar(10),删除 nvarchar(10),导出 nvarchar(10),导入 nvarchar(10),打印 nvarchar(10),供应商录入 nvarchar(10),合同录入 nvarchar(10),基础资料新增 nvarchar(10),日志 nvarchar(10),默认用户 nvarchar(10),用户管理 nvarchar(10));
GO

IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'gysb')
    create table gysb(单据状态 nvarchar(50),名称 nvarchar(200),电话 nvarchar(100),联系人 nvarchar(100),地址 nvarchar(500),税率 nvarchar(50),付款方式 nvarchar(100));
GO

IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'jczlb')
    create table jczlb(申请部门 nvarchar(200),采购员 nvarchar(200),计量单位 nvarchar(200),付款方式 nvarchar(200),申请人 nvarchar(200),税率 nvarchar(200));
GO

IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'rzb')
    create table rzb(id int IDENTITY (1,1) PRIMARY KEY,过滤日期 nvarchar(20),日期 nvarchar(30),用户 nvarchar(50),操作模块 nvarchar(100),状态 nvarchar(50),内容描述 nvarchar(4000),机器名 nvarchar(255),IP地址 nvarchar(64));
GO

if not exists (select * from sys.indexes where name=N'ix_rzb_过滤日期' and object_id=object_id(N'rzb')) create index ix_rzb_过滤日期 on rzb(过滤日期);
GO

IF NOT EXISTS (SELECT 用户名 FROM yhb WHERE 用户名 = N'admin')
    insert into yhb(用户名,密码,审核,反审,变更,修改,删除,导出,导入,打印,供应商录入,合同录入,基础资料新增,日志,默认用户,用户管理) values(N'admin',N'e10adc3949ba59abbe56e057f20f883e',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'1',N'0',N'1');
GO

IF NOT EXISTS (SELECT 账套名 FROM ztb)
BEGIN
    DECLARE @year nvarchar(10) = CAST(YEAR(GETDATE()) AS nvarchar(10));
    insert into ztb(账套名,隶属部门,备注,引用合同表,合同编号,日志数,默认启动,账套年份) values(@year + N'年度',N'',N'',N'htb1',N'KQLM',N'50000',N'False',@year);
    IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'htb1')
        EXEC(N'create table htb1(id int IDENTITY (1,1) PRIMARY KEY,单据状态 nvarchar(50) not null,合同编号 nvarchar(50) not null,合同子编号 nvarchar(50) not null,申请人 nvarchar(50) not null,申请部门 nvarchar(100) not null,采购员 nvarchar(50) not null,供应商 nvarchar(200) not null,产品 nvarchar(200) not null,设备数量 nvarchar(50) not null,计量单位 nvarchar(50) not null, 制单日期 date not null,生效日期 date not null,失效日期 date not null,合同金额 nvarchar(200) not null,付款方式 nvarchar(100) not null,第一次付款 nvarchar(200),第二次付款 nvarchar(200),第三次付款 nvarchar(200),第四次付款 nvarchar(200),剩余尾款 nvarchar(200),税率 nvarchar(50) not null,附件 image)');
END
GO

DECLARE @table nvarchar(128), @index nvarchar(128), @sql nvarchar(max);
DECLARE contract_tables CURSOR LOCAL FAST_FORWARD FOR SELECT 引用合同表 FROM ztb;
OPEN contract_tables;
FETCH NEXT FROM contract_tables INTO @table;
WHILE @@FETCH_STATUS = 0
BEGIN
    SET @index = N'ix_' + @table + N'_合同编号';
    IF OBJECT_ID(@table, N'U') IS NOT NULL
        AND NOT EXISTS (SELECT * FROM sys.indexes WHERE name = @index AND object_id = OBJECT_ID(@table))
    BEGIN
        SET @sql = N'create index ' + QUOTENAME(@index) + N' on ' + QUOTENAME(@table) + N'(合同编号)';
        EXEC(@sql);
    END
    SET @index = N'ix_' + @table + N'_合同子编号';
    IF OBJECT_ID(@table, N'U') IS NOT NULL
        AND NOT EXISTS (SELECT * FROM sys.indexes WHERE name = @index AND object_id = OBJECT_ID(@table))
    BEGIN
        SET @sql = N'create index ' + QUOTENAME(@index) + N' on ' + QUOTENAME(@table) + N'(合同子编号)';
        EXEC(@sql);
    END
    FETCH NEXT FROM contract_tables INTO @table;
END
CLOSE contract_tables;
DEALLOCATE contract_tables;
GO
