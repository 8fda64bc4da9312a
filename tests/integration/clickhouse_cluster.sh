# SPDX-License-Identifier: Apache-2.0
# Sourced by bash scripts: a private ClickHouse cluster of two shards, each its own server
# process in DIR/ch0 and DIR/ch1, listening on 127.0.0.1 only, on ports found free just
# before; the cluster is named qelkit_two_shards in both servers' remote_servers. The servers
# run in a zone with daylight saving (America/New_York), so that an expression that reads the
# server's zone instead of its column's shows.
#   ch_start DIR   starts both servers (exits 2 with their log when they do not come up)
#   ch_stop        stops them; the caller's EXIT trap must call it
#   ch N ARGS...   clickhouse-client on server N (0 or 1)
# Needs the Debian packages clickhouse-server and clickhouse-client, and perl.

ch_pids=()
ch_ports=()

for program in clickhouse-server clickhouse-client; do
  command -v $program >/dev/null || {
    echo "$program not found: install the Debian packages clickhouse-server and" \
         "clickhouse-client (.ci/deps integration does)" >&2
    exit 2
  }
done

# shellcheck disable=SC2317  # called by the caller's traps
ch_stop() {
  local pid
  for pid in "${ch_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${ch_pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  ch_pids=()
}

ch() { clickhouse-client --port "${ch_ports[$1]}" "${@:2}"; }

# A TCP port of 127.0.0.1 that nothing listens on now.
ch_free_port() {
  perl -MIO::Socket::INET -e \
    'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1", LocalPort => 0)->sockport'
}

# ch_config DIR PORT: one server's configuration, which is its users' as well; the cluster is
# the same for both.
ch_config() {
  cat <<EOF
<?xml version="1.0"?>
<yandex>
  <logger><level>warning</level><log>$1/server.log</log><errorlog>$1/error.log</errorlog></logger>
  <listen_host>127.0.0.1</listen_host>
  <tcp_port>$2</tcp_port>
  <path>$1/data/</path>
  <tmp_path>$1/tmp/</tmp_path>
  <user_files_path>$1/user_files/</user_files_path>
  <format_schema_path>$1/format_schemas/</format_schema_path>
  <users_config>$1/config.xml</users_config>
  <default_profile>default</default_profile>
  <default_database>default</default_database>
  <timezone>America/New_York</timezone>
  <mark_cache_size>67108864</mark_cache_size>
  <remote_servers>
    <qelkit_two_shards>
      <shard><replica><host>127.0.0.1</host><port>${ch_ports[0]}</port></replica></shard>
      <shard><replica><host>127.0.0.1</host><port>${ch_ports[1]}</port></replica></shard>
    </qelkit_two_shards>
  </remote_servers>
  <profiles><default></default></profiles>
  <users><default><password></password><networks><ip>127.0.0.1</ip></networks>
    <profile>default</profile><quota>default</quota></default></users>
  <quotas><default></default></quotas>
</yandex>
EOF
}

# One attempt; returns 1 when a server does not answer within 30 s (a port taken meanwhile).
ch_try_start() {
  ch_ports=("$(ch_free_port)" "$(ch_free_port)")
  [ "${ch_ports[0]}" != "${ch_ports[1]}" ] || return 1
  local n dir
  for n in 0 1; do
    dir=$1/ch$n
    rm -rf "$dir"
    mkdir -p "$dir"
    ch_config "$dir" "${ch_ports[$n]}" >"$dir/config.xml"
    clickhouse-server --config-file="$dir/config.xml" >"$dir/stdout.log" 2>&1 &
    ch_pids+=($!)
  done
  for n in 0 1; do
    for _ in $(seq 300); do
      ch $n -q "SELECT 1" >/dev/null 2>&1 && continue 2
      kill -0 "${ch_pids[$n]}" 2>/dev/null || break
      sleep 0.1
    done
    return 1
  done
}

ch_start() {
  local attempt
  for attempt in 1 2 3; do
    ch_try_start "$1" && return 0
    ch_stop
  done
  cat "$1"/ch*/error.log "$1"/ch*/stdout.log >&2 2>/dev/null
  echo "the ClickHouse servers did not start" >&2
  exit 2
}
