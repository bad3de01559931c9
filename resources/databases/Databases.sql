-- Tracker of the web view's Web SQL storage: the local-file origin owns the database "zenta".
CREATE TABLE Origins (origin TEXT UNIQUE ON CONFLICT REPLACE, quota INTEGER NOT NULL ON CONFLICT FAIL);
CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, displayName TEXT, estimatedSize INTEGER, path TEXT);
INSERT INTO Origins (origin, quota) VALUES ('file__0', 209715200);
INSERT INTO Databases (guid, origin, name, displayName, estimatedSize, path) VALUES (1, 'file__0', 'zenta', 'ZENTA DATABASE', 10485760, 'bookmarks.db');
DELETE FROM sqlite_sequence;
