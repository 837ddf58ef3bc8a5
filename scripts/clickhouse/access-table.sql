-- The rows of `quillmarkbox-cli load --jsonl`, one table for every server and site of a farm.
-- A member a row leaves out takes the column's default ('' or 0).
CREATE TABLE IF NOT EXISTS access
(
    `@timestamp`                   DateTime('UTC'),
    `host.name`                    String,
    `iis.site_name`                String,
    `url.domain`                   String,
    `source.address`               String,
    `http.request.method`          String,
    `url.path`                     String,
    `url.query`                    String,
    `http.response.status_code`    UInt16,
    `iis.sub_status`               UInt32,
    `iis.win32_status`             UInt32,
    `http.response.bytes`          UInt64,
    `http.request.bytes`           UInt64,
    `event.duration`               UInt64,
    `destination.address`          String,
    `destination.port`             UInt16,
    `user.name`                    String,
    `user_agent.original`          String,
    `http.request.referrer`        String,
    `http.version`                 String,
    `quillmarkbox.crawler.key`     String,
    `quillmarkbox.crawler.name`    String,
    `quillmarkbox.crawler.group`   String,
    `quillmarkbox.crawler.verdict` String
)
ENGINE = MergeTree
PARTITION BY toYYYYMM(`@timestamp`)
ORDER BY (`host.name`, `iis.site_name`, `quillmarkbox.crawler.key`, `@timestamp`)
