-- The Trialix results database that a class shares: every examinee's runs
-- in one PostgreSQL database. Apply it as the database's owner with
--
--     trialix-pack history init-db 'postgresql:///trialix'
--
-- (or psql -f). Applying it again changes nothing. It makes two roles that
-- logins are given:
--
--   trialix_examinee  adds runs and reads their own, by login name
--   trialix_teacher   reads every run
--
-- The database keeps them apart (grants and row-level security), whatever
-- program connects: no role but the owner may change or remove a run.

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'trialix_examinee') THEN
        CREATE ROLE trialix_examinee NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'trialix_teacher') THEN
        CREATE ROLE trialix_teacher NOLOGIN;
    END IF;
END
$$;

CREATE SCHEMA IF NOT EXISTS trialix;

-- The version of these tables; a program that knows an older one refuses
-- to record here.
CREATE TABLE IF NOT EXISTS trialix.meta (version integer NOT NULL);
INSERT INTO trialix.meta SELECT 3 WHERE NOT EXISTS (SELECT FROM trialix.meta);

-- One graded run. `login` is who recorded it (the database's user), the
-- examinee's identity whichever machine they sat at; `examinee` is the name
-- typed on the start form.
CREATE TABLE IF NOT EXISTS trialix.runs (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    uuid uuid NOT NULL UNIQUE,
    login text NOT NULL DEFAULT current_user,
    exam text NOT NULL,
    title text NOT NULL,
    taken bigint NOT NULL,
    examinee text NOT NULL,
    training boolean NOT NULL,
    timer boolean NOT NULL,
    time_used integer NOT NULL,
    item_count integer NOT NULL,
    total_points integer NOT NULL,
    reached_points integer NOT NULL,
    score double precision NOT NULL,
    pass_mark integer NOT NULL,
    passed boolean NOT NULL
);
CREATE INDEX IF NOT EXISTS runs_by_exam ON trialix.runs (exam, taken);
CREATE INDEX IF NOT EXISTS runs_by_login ON trialix.runs (login);

-- Each item of a run, in the run's order.
CREATE TABLE IF NOT EXISTS trialix.items (
    run bigint NOT NULL REFERENCES trialix.runs (id) ON DELETE CASCADE,
    position integer NOT NULL,
    file text NOT NULL,
    item integer NOT NULL,
    fingerprint text NOT NULL,
    points integer NOT NULL,
    ok integer NOT NULL,
    answer text NOT NULL DEFAULT '',
    PRIMARY KEY (run, position)
);

REVOKE ALL ON SCHEMA trialix FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA trialix FROM PUBLIC;
GRANT USAGE ON SCHEMA trialix TO trialix_examinee, trialix_teacher;
GRANT SELECT ON trialix.meta TO trialix_examinee, trialix_teacher;
GRANT SELECT, INSERT ON trialix.runs, trialix.items TO trialix_examinee;
GRANT SELECT ON trialix.runs, trialix.items TO trialix_teacher;

ALTER TABLE trialix.runs ENABLE ROW LEVEL SECURITY;
ALTER TABLE trialix.items ENABLE ROW LEVEL SECURITY;

DROP POLICY IF EXISTS examinee_reads_own ON trialix.runs;
DROP POLICY IF EXISTS examinee_adds_own ON trialix.runs;
DROP POLICY IF EXISTS teacher_reads_all ON trialix.runs;
CREATE POLICY examinee_reads_own ON trialix.runs FOR SELECT TO trialix_examinee
    USING (login = current_user);
CREATE POLICY examinee_adds_own ON trialix.runs FOR INSERT TO trialix_examinee
    WITH CHECK (login = current_user);
CREATE POLICY teacher_reads_all ON trialix.runs FOR SELECT TO trialix_teacher
    USING (true);

DROP POLICY IF EXISTS examinee_reads_own ON trialix.items;
DROP POLICY IF EXISTS examinee_adds_own ON trialix.items;
DROP POLICY IF EXISTS teacher_reads_all ON trialix.items;
CREATE POLICY examinee_reads_own ON trialix.items FOR SELECT TO trialix_examinee
    USING (EXISTS (SELECT FROM trialix.runs r WHERE r.id = run AND r.login = current_user));
CREATE POLICY examinee_adds_own ON trialix.items FOR INSERT TO trialix_examinee
    WITH CHECK (EXISTS (SELECT FROM trialix.runs r WHERE r.id = run AND r.login = current_user));
CREATE POLICY teacher_reads_all ON trialix.items FOR SELECT TO trialix_teacher
    USING (true);
