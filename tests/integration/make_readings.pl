#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Writes the boundary readings of the SQL cross-checks to standard output: lines
# "YYYY-MM-DD HH:MM:SS,station,value" of local wall-clock time, in no particular order.
#
# Every period edge is met by a reading on it and one a second before it:
#   - every minute of one hour (the edges of all periods of 1 to 60 minutes);
#   - every midnight of two whole weeks, so each weekday starts a week once (weeks may start on
#     any day), at two hours of each day (week-hour);
#   - the turn of each year 2003 to 2012, midnight by midnight from 24 December to 10 January:
#     1 January falls on every weekday, so the week-numbering year starts on every possible day
#     for each start of week (2004 and 2009 have 53 ISO weeks);
#   - the first of each month of 2008 (29 February included), at midnight and at 05:00;
#   - the daylight-saving days of 2007 in Europe and North America, every quarter hour from
#     00:00 to 04:00: wall-clock times that do not exist or happen twice under the zone's rules,
#     which must group as plain wall-clock times under a fixed offset.
# Then small clusters (one to four readings within a few minutes of each other) spread over
# 2006-12 to 2010-01, so that every period holds groups of several rows. The generator is
# seeded: the file is the same on every run. Usage: make_readings.pl [CLUSTERS]
#
# make_readings.pl query CSV TSV writes the readings table of the query check instead: 3000
# rows at distinct times 1 to 230 s apart from 2023-12-30 on (a quarter turns), in shuffled
# order; CSV for the tool (header ts,site,station,temp,hum,wind; missing values empty or NA),
# TSV for the engines (missing values \N). Wind is mostly missing, so some groups have no value
# or one.
use strict;
use warnings;
use POSIX qw(strftime);
use Time::Local qw(timegm);

my @stations = qw(north south east);

# A small linear congruential generator: the same sequence on every machine and Perl version.
my $state = 20070411;
sub next_random {
    my ($limit) = @_;
    $state = ($state * 1103515245 + 12345) % 2147483648;
    return int($state / 65536) % $limit;
}

sub reading {
    my ($t) = @_;
    my $station = $stations[next_random(scalar @stations)];
    my $value = sprintf('%.1f', next_random(400) / 10 - 5);
    print strftime('%Y-%m-%d %H:%M:%S', gmtime($t)), ",$station,$value\n";
}

sub query_table {
    my ($csv, $tsv) = @_;
    my $t = timegm(0, 0, 0, 30, 11, 2023);
    my @rows;
    for (1 .. 3000) {
        $t += 1 + next_random(230);
        my @row = (strftime('%Y-%m-%d %H:%M:%S', gmtime($t)), (qw(a-site B-site))[next_random(2)],
                   (qw(north South east))[next_random(3)], next_random(6000) / 100 - 20,
                   next_random(1000) / 10, next_random(3000) / 100);
        for ([3, 5], [4, 10], [5, 93]) {    # temp, hum and wind missing, in percent
            $row[$_->[0]] = ('', 'NA')[next_random(2)] if next_random(100) < $_->[1];
        }
        push @rows, \@row;
    }
    for my $i (reverse 1 .. $#rows) {
        my $j = next_random($i + 1);
        @rows[$i, $j] = @rows[$j, $i];
    }
    open(my $c, '>', $csv) or die "make_readings.pl: $csv: $!\n";
    open(my $s, '>', $tsv) or die "make_readings.pl: $tsv: $!\n";
    print $c "ts,site,station,temp,hum,wind\n";
    for my $row (@rows) {
        print $c join(',', @$row), "\n";
        print $s join("\t", map { $_ eq '' || $_ eq 'NA' ? '\\N' : $_ } @$row), "\n";
    }
    close $c or die;
    close $s or die;
}
if (@ARGV && $ARGV[0] eq 'query') {
    query_table(@ARGV[1, 2]);
    exit 0;
}
my $clusters = shift(@ARGV) // 1500;

# The instant and the second before it.
sub edge { reading($_[0] - 1); reading($_[0]); }

# Wall-clock times are written as if UTC: timegm(second, minute, hour, day, month 0-11, year).
my $hour = timegm(0, 0, 14, 11, 3, 2007);
edge($hour + 60 * $_) for 0 .. 60;

my $weeks = timegm(0, 0, 0, 7, 0, 2008);
for my $day (0 .. 14) {
    edge($weeks + 86400 * $day + $_) for (0, 3600 * 5, 3600 * 23);
}

for my $year (2003 .. 2012) {
    my $first = timegm(0, 0, 0, 24, 11, $year - 1);
    edge($first + 86400 * $_) for 0 .. 17;
}

for my $month (0 .. 11) {
    edge(timegm(0, 0, $_, 1, $month, 2008)) for (0, 5);
}

for my $day ([11, 2], [25, 2], [28, 9], [4, 10]) {
    my $midnight = timegm(0, 0, 0, $day->[0], $day->[1], 2007);
    edge($midnight + 900 * $_) for 0 .. 16;
}

my $first = timegm(0, 0, 0, 20, 11, 2006);    # 2006-12-20 00:00:00
my $last = timegm(0, 0, 0, 10, 0, 2010);      # 2010-01-10 00:00:00
my $span = $last - $first;
for (1 .. $clusters) {
    # Offsets drawn from two draws, since one draw of the generator stays below 32768.
    my $base = $first + (next_random(32768) * 32768 + next_random(32768)) % $span;
    my $size = 1 + next_random(4);
    reading($base + next_random(240) - 120) for 1 .. $size;
}
